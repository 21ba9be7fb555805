# The version header of the library, from project(Orvane VERSION ...): the
# code reads orvane::version, so the number is written down only once.
configure_file(${PROJECT_SOURCE_DIR}/cmake/version.h.in ${PROJECT_BINARY_DIR}/include/orvane/version.h @ONLY)

# orvane_version_resource(TARGET FILE DESCRIPTION): on Windows, gives the
# program a version resource (the file's properties show the version and what
# the program is).
function(orvane_version_resource target file description)
  if(NOT WIN32)
    return()
  endif()
  set(ORVANE_RC_FILE ${file})
  set(ORVANE_RC_DESCRIPTION ${description})
  get_filename_component(ORVANE_RC_NAME ${file} NAME_WE)
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}-versioninfo.rc)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/versioninfo.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
endfunction()
