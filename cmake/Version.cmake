# pm_version_header(<folder> <major.minor.patch>): writes <folder>/Version.h, the version the
# resource scripts put into the programs.
function(pm_version_header folder version)
  string(REPLACE "." ";" parts ${version})
  list(GET parts 0 PM_VERSION_MAJOR)
  list(GET parts 1 PM_VERSION_MINOR)
  list(GET parts 2 PM_VERSION_PATCH)
  set(PM_VERSION ${version})
  configure_file(${PROJECT_SOURCE_DIR}/src/res/Version.h.in ${folder}/Version.h @ONLY)
endfunction()
