# Platform DLLs that load at the first call into them rather than at start-up: a delay-import
# library made by dlltool from the exports of the toolchain's ordinary import library.
# pm_delay_import(<name> <dll>) defines the imported library pm_delay_<name>.
function(pm_delay_import name dll)
  find_library(PM_IMPORT_LIB_${name} ${name} REQUIRED)
  set(dir ${CMAKE_BINARY_DIR}/delayimp)
  set(def ${dir}/${name}.def)
  set(lib ${dir}/lib${name}_delay.a)
  if(NOT EXISTS ${lib} OR ${PM_IMPORT_LIB_${name}} IS_NEWER_THAN ${lib})
    execute_process(COMMAND ${CMAKE_NM} ${PM_IMPORT_LIB_${name}} OUTPUT_VARIABLE symbols COMMAND_ERROR_IS_FATAL ANY)
    # "__imp_<name>" per export; 32-bit names carry one more underscore and their "@<bytes>".
    string(REGEX MATCHALL " I __imp_[^\n]+" imports "${symbols}")
    set(text "LIBRARY ${dll}\nEXPORTS\n")
    foreach(import ${imports})
      string(REGEX REPLACE "^ I __imp_" "" export "${import}")
      if(CMAKE_SIZEOF_VOID_P EQUAL 4)
        string(REGEX REPLACE "^_" "" export "${export}")
      endif()
      string(APPEND text "${export}\n")
    endforeach()
    file(WRITE ${def} "${text}")
    set(killAt)
    if(CMAKE_SIZEOF_VOID_P EQUAL 4)
      set(killAt --kill-at)
    endif()
    # Run in its folder with relative names: the import descriptor's symbol is named after the output
    # name, __DELAY_IMPORT_DESCRIPTOR_lib<name>_delay_a, which the program refers to.
    execute_process(COMMAND ${CMAKE_DLLTOOL} --input-def ${name}.def --dllname ${dll} ${killAt}
                            --output-delaylib lib${name}_delay.a
                    WORKING_DIRECTORY ${dir} COMMAND_ERROR_IS_FATAL ANY)
  endif()
  add_library(pm_delay_${name} STATIC IMPORTED GLOBAL)
  # delayimp holds the loader helper the delay-import thunks call.
  set_target_properties(pm_delay_${name} PROPERTIES IMPORTED_LOCATION ${lib} INTERFACE_LINK_LIBRARIES delayimp)
endfunction()

# Fails the build of target when its import table names one of the given DLLs (objdump lists the
# delay-loaded ones apart, without "DLL Name"): those must stay delay-loaded.
function(pm_check_not_imported target)
  list(JOIN ARGN "|" names)
  add_custom_command(TARGET ${target} POST_BUILD
                     COMMAND sh -c "! \"$1\" -p \"$0\" | grep -Eiq 'DLL Name: (${names})$'"
                             $<TARGET_FILE:${target}> ${CMAKE_OBJDUMP}
                     COMMENT "Checking that ${target} loads ${ARGN} only when used" VERBATIM)
endfunction()
