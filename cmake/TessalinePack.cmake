# Card packs. Every pack is the same program (the Qt window library
# tessaline_ui and src/installer/window/main.cpp), linked once; a pack is a
# copy of it that tessaline-pack (tools/tessaline_pack) has given its own card
# sheet (resource PACK) and identity (resource IDENTITY: number and titles).
# The window's logos and the icon (LOGO1, LOGO2, ICON, ICONPNG) are the
# program's own and every pack keeps them.
include_guard(GLOBAL)
include(EmbedResources OPTIONAL)

# tessaline_embed_pack_resources(<target> [SHEET <bitmap without file header>])
# Embeds the resources the window needs into an executable target: LOGO1,
# LOGO2, ICON and ICONPNG, and PACK when SHEET is given (for test programs
# that show a window; a pack gets its sheet from tessaline-pack, which checks
# and converts it).
function(tessaline_embed_pack_resources target)
  cmake_parse_arguments(ARG "" "SHEET" "" ${ARGN})
  if(NOT COMMAND tessaline_embed_resources)
    message(FATAL_ERROR "cmake/EmbedResources.cmake is needed to embed the pack's resources")
  endif()
  set(res ${PROJECT_SOURCE_DIR}/resources)
  set(sheet "")
  if(ARG_SHEET)
    get_filename_component(dib ${ARG_SHEET} ABSOLUTE)
    set(sheet PACK ${dib})
  endif()
  tessaline_embed_resources(${target}
    ${sheet}
    LOGO1 ${res}/logo1.bmp
    LOGO2 ${res}/logo2.bmp
    ICON ${res}/icon.ico
    ICONPNG ${res}/icon.png)
endfunction()

# The arguments of tessaline-pack for one pack, checked as the tool checks
# them where CMake can (the tool itself refuses everything else when it runs).
function(_tessaline_pack_arguments out_var target)
  cmake_parse_arguments(ARG "" "NUMBER;NAME;CYRILLIC_NAME;SHEET" "" ${ARGN})
  foreach(required NUMBER NAME CYRILLIC_NAME SHEET)
    if(NOT DEFINED ARG_${required} OR "${ARG_${required}}" STREQUAL "")
      message(FATAL_ERROR "${target}: ${required} is required")
    endif()
  endforeach()
  if(NOT ARG_NUMBER MATCHES "^[0-9]+$")
    message(FATAL_ERROR "${target}: NUMBER must be a whole number from 1 to 2147483647")
  endif()
  get_filename_component(sheet ${ARG_SHEET} ABSOLUTE)
  if(NOT EXISTS ${sheet})
    message(FATAL_ERROR "${target}: the card sheet ${sheet} does not exist")
  endif()
  set(${out_var}
    --sheet ${sheet} --title ${ARG_NAME} --cyrillic-title ${ARG_CYRILLIC_NAME}
    --number ${ARG_NUMBER} PARENT_SCOPE)
  set(${out_var}_SHEET ${sheet} PARENT_SCOPE)
endfunction()

# tessaline_add_program(<target> NUMBER <n> NAME <title> CYRILLIC_NAME <title>
#                       SHEET <card sheet>)
# Links the program (build/<preset>/<target>) and, as the last step of
# building it, makes it the pack that the arguments describe, in place. It is
# the base every other pack is made from (tessaline_add_installer, and
# tessaline-pack without --base).
function(tessaline_add_program target)
  _tessaline_pack_arguments(pack_args ${target} ${ARGN})
  add_executable(${target} ${PROJECT_SOURCE_DIR}/src/installer/window/main.cpp)
  tessaline_warnings(${target})
  target_link_libraries(${target} PRIVATE tessaline_ui)
  set_target_properties(${target} PROPERTIES
    RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}
    LINK_DEPENDS ${pack_args_SHEET})
  tessaline_embed_pack_resources(${target})
  add_dependencies(${target} tessaline-pack)
  # tessaline-pack never writes over its base: it writes beside it, and the
  # new pack takes the linked program's name.
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND tessaline-pack ${pack_args} --base $<TARGET_FILE:${target}>
            --output $<TARGET_FILE:${target}>.pack
    COMMAND ${CMAKE_COMMAND} -E rename $<TARGET_FILE:${target}>.pack $<TARGET_FILE:${target}>
    COMMENT "Making ${target} a pack"
    VERBATIM)
endfunction()

# tessaline_add_installer(<target> NUMBER <n> NAME <title> CYRILLIC_NAME <title>
#                         SHEET <card sheet> [BASE <program target>]
#                         [OUTPUT_DIRECTORY <dir>])
# Adds a target that makes one pack with tessaline-pack from the program BASE
# (by default tessaline). The pack lands in OUTPUT_DIRECTORY, by default the
# build folder itself, as <target>.wpk; its path is the target's property
# TESSALINE_PACK_FILE.
function(tessaline_add_installer target)
  cmake_parse_arguments(ARG "" "BASE;OUTPUT_DIRECTORY" "" ${ARGN})
  _tessaline_pack_arguments(pack_args ${target} ${ARG_UNPARSED_ARGUMENTS})
  if(NOT ARG_BASE)
    set(ARG_BASE tessaline)
  endif()
  if(NOT ARG_OUTPUT_DIRECTORY)
    set(ARG_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR})
  endif()
  set(output ${ARG_OUTPUT_DIRECTORY}/${target}.wpk)
  add_custom_command(
    OUTPUT ${output}
    COMMAND tessaline-pack ${pack_args} --base $<TARGET_FILE:${ARG_BASE}> --output ${output}
    DEPENDS ${pack_args_SHEET} ${ARG_BASE} tessaline-pack
    COMMENT "Making the pack ${target}"
    VERBATIM)
  add_custom_target(${target} ALL DEPENDS ${output})
  set_target_properties(${target} PROPERTIES TESSALINE_PACK_FILE ${output})
endfunction()
