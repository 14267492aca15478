# Installer executables of card packs. Every pack is the same program (the
# Qt window library tessaline_ui and src/installer/window/main.cpp) with its own
# identity, given as compile definitions, and its own card sheet, embedded as
# the resource "PACK" beside the window's logos and the program's icon.
include_guard(GLOBAL)
include(EmbedResources OPTIONAL)

# tessaline_embed_pack_resources(<target> SHEET <card sheet>)
# Embeds the resources the window needs into an executable target: PACK (the
# card sheet), LOGO1, LOGO2, ICON and ICONPNG.
function(tessaline_embed_pack_resources target)
  cmake_parse_arguments(ARG "" "SHEET" "" ${ARGN})
  if(NOT ARG_SHEET)
    message(FATAL_ERROR "tessaline_embed_pack_resources(${target}): SHEET is required")
  endif()
  if(NOT COMMAND tessaline_embed_resources)
    message(FATAL_ERROR "cmake/EmbedResources.cmake is needed to embed the pack's resources")
  endif()
  # The sheet is checked and brought into the form a pack carries (a bitmap
  # without its file header) when the target is built; a sheet that is not a
  # 9 x 4 card bitmap stops the build with the reason.
  get_filename_component(sheet ${ARG_SHEET} ABSOLUTE)
  string(MAKE_C_IDENTIFIER "${target}" target_id)
  set(dib ${CMAKE_CURRENT_BINARY_DIR}/${target_id}_sheet.dib)
  add_custom_command(
    OUTPUT ${dib}
    COMMAND tessaline_pack_sheet ${sheet} ${dib}
    DEPENDS ${sheet} tessaline_pack_sheet
    COMMENT "Checking the card sheet of ${target}"
    VERBATIM)
  set(res ${PROJECT_SOURCE_DIR}/resources)
  tessaline_embed_resources(${target}
    PACK ${dib}
    LOGO1 ${res}/logo1.bmp
    LOGO2 ${res}/logo2.bmp
    ICON ${res}/icon.ico
    ICONPNG ${res}/icon.png)
endfunction()

# tessaline_add_installer(<target> NUMBER <n> NAME <title> CYRILLIC_NAME <title>
#                         SHEET <card sheet> [OUTPUT_DIRECTORY <dir>])
# Adds the installer executable of one pack. It lands in OUTPUT_DIRECTORY,
# by default the build folder itself (build/<preset>/<target>).
function(tessaline_add_installer target)
  cmake_parse_arguments(ARG "" "NUMBER;NAME;CYRILLIC_NAME;SHEET;OUTPUT_DIRECTORY" "" ${ARGN})
  foreach(required NUMBER NAME CYRILLIC_NAME SHEET)
    if(NOT DEFINED ARG_${required} OR "${ARG_${required}}" STREQUAL "")
      message(FATAL_ERROR "tessaline_add_installer(${target}): ${required} is required")
    endif()
  endforeach()
  if(NOT ARG_NUMBER MATCHES "^-?[0-9]+$")
    message(FATAL_ERROR "tessaline_add_installer(${target}): NUMBER must be an integer")
  endif()
  # The title names the pack file, and both titles become C++ string literals.
  foreach(title NAME CYRILLIC_NAME)
    if(ARG_${title} MATCHES "[\"\\/]")
      message(FATAL_ERROR "tessaline_add_installer(${target}): ${title} may not hold \", \\ or /")
    endif()
  endforeach()
  get_filename_component(sheet ${ARG_SHEET} ABSOLUTE)
  if(NOT EXISTS ${sheet})
    message(FATAL_ERROR "tessaline_add_installer(${target}): the card sheet ${sheet} does not exist")
  endif()
  if(NOT ARG_OUTPUT_DIRECTORY)
    set(ARG_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR})
  endif()
  add_executable(${target} ${PROJECT_SOURCE_DIR}/src/installer/window/main.cpp)
  tessaline_warnings(${target})
  target_link_libraries(${target} PRIVATE tessaline_ui)
  target_compile_definitions(${target} PRIVATE
    TESSALINE_PACK_NUMBER=${ARG_NUMBER}
    TESSALINE_PACK_NAME="${ARG_NAME}"
    TESSALINE_PACK_NAME_CYR="${ARG_CYRILLIC_NAME}")
  set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${ARG_OUTPUT_DIRECTORY})
  tessaline_embed_pack_resources(${target} SHEET ${ARG_SHEET})
endfunction()
