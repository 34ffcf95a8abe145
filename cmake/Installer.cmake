# pm_add_installer(<target> VERSION <x.y.z> PENDLEMARK <target> CVLX <target> OUTPUT <setup.exe>
#                  SYMBOLS <folder>)
# Builds the per-user installer of installer/Pendlemark.nsi from stripped copies of the two programs.
# The programs in bin/ keep their symbols (tests and debuggers use them); the symbols of what ships go
# to <folder> as Pendlemark.exe.debug and cvlx.exe.debug, which the stripped files name.
function(pm_add_installer target)
  cmake_parse_arguments(ARG "" "VERSION;PENDLEMARK;CVLX;OUTPUT;SYMBOLS" "" ${ARGN})
  find_program(PM_MAKENSIS makensis REQUIRED DOC "NSIS compiler (Debian package nsis)")
  if(NOT CMAKE_OBJCOPY)
    message(FATAL_ERROR "objcopy of the MinGW-w64 binutils not found")
  endif()
  set(stage ${CMAKE_BINARY_DIR}/stage/${target})
  set(nsi ${PROJECT_SOURCE_DIR}/installer/Pendlemark.nsi)
  set(help ${PROJECT_SOURCE_DIR}/src/help/CVLHelp.htm)
  set(commands)
  foreach(program PENDLEMARK CVLX)
    set(file $<TARGET_FILE:${ARG_${program}}>)
    set(name $<TARGET_FILE_NAME:${ARG_${program}}>)
    list(APPEND commands
         COMMAND ${CMAKE_OBJCOPY} --only-keep-debug ${file} ${ARG_SYMBOLS}/${name}.debug
         COMMAND ${CMAKE_OBJCOPY} --strip-all --add-gnu-debuglink=${ARG_SYMBOLS}/${name}.debug ${file}
                 ${stage}/${name})
  endforeach()
  get_filename_component(outputDir ${ARG_OUTPUT} DIRECTORY)
  add_custom_command(
    OUTPUT ${ARG_OUTPUT}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${stage} ${ARG_SYMBOLS} ${outputDir}
    ${commands}
    COMMAND ${CMAKE_COMMAND} -E copy ${help} ${stage}/CVLHelp.htm
    COMMAND ${PM_MAKENSIS} -V2 -WX -DPM_VERSION=${ARG_VERSION} -DPM_STAGE=${stage}
            -DPM_SOURCE=${PROJECT_SOURCE_DIR} -DPM_OUTFILE=${ARG_OUTPUT} ${nsi}
    DEPENDS ${ARG_PENDLEMARK} ${ARG_CVLX} ${nsi} ${help} ${PROJECT_SOURCE_DIR}/src/res/Pendlemark.ico
    COMMENT "Installer ${ARG_OUTPUT}"
    VERBATIM)
  add_custom_target(${target} ALL DEPENDS ${ARG_OUTPUT})
endfunction()
