# Compiler settings shared by every target of the project.

# Warnings as errors for the project's own code; call on each target we define.
function(tessaline_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Werror)
endfunction()

if(TESSALINE_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer
                      -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

if(TESSALINE_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "The fuzz targets need clang (use the 'fuzz' preset)")
  endif()
  # Every library is instrumented for coverage; only the fuzz targets link libFuzzer.
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

# Where the sources and the shipped resources are, for tests that read them.
set(TESSALINE_RESOURCE_DIR ${PROJECT_SOURCE_DIR}/resources)

# Defines the static library of one module from the .cpp files of its folder
# (not of its subfolders), linked to the modules it builds on.
# A folder with no sources yet gives an interface library, so the tree always
# configures while modules are being written.
function(tessaline_module name)
  cmake_parse_arguments(ARG "" "" "DEPENDS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(sources)
    add_library(${name} STATIC ${sources})
    tessaline_warnings(${name})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} PUBLIC ${ARG_DEPENDS})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} INTERFACE ${ARG_DEPENDS})
  endif()
endfunction()

# Every installed pack is a copy of the installer, so its size is a cost
# users see: the release build is made for size, keeps only the code and
# data something uses, and its programs are stripped. Code whose speed shows
# (the painter) asks for speed in its own folder.
if(NOT TESSALINE_SANITIZE AND NOT TESSALINE_FUZZ)
  set(CMAKE_CXX_FLAGS_RELEASE "-Os -DNDEBUG")
  set(CMAKE_C_FLAGS_RELEASE "-Os -DNDEBUG")
  add_compile_options(-ffunction-sections -fdata-sections)
  add_link_options(-Wl,--gc-sections)
  set(CMAKE_EXE_LINKER_FLAGS_RELEASE "-s")
endif()
