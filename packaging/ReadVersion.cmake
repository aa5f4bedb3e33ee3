# tessel_read_version(HEADER OUT): the version the programs print, from the
# header the build remakes (#define TESSEL_VERSION "1.0.0-g..."). Stops with
# a message when the header is missing: the programs are not built.
function(tessel_read_version header out)
  if(NOT EXISTS "${header}")
    message(FATAL_ERROR "${header} is missing: build the programs before packaging them")
  endif()
  file(STRINGS "${header}" line REGEX "^#define TESSEL_VERSION \"[^\"]+\"")
  if(NOT line MATCHES "\"([^\"]+)\"")
    message(FATAL_ERROR "${header} names no version")
  endif()
  set(${out} "${CMAKE_MATCH_1}" PARENT_SCOPE)
endfunction()
