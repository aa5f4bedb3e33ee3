# The version every program reports and the release archive is named by:
# the project version on a commit tagged v<version> ("1.0.0"), else the
# project version and the commit ("1.0.0-g1a2b3c4d5e"), with "-dirty" when
# the tree has uncommitted changes; the project version alone without git.
#
# Included from CMakeLists.txt it sets TESSEL_VERSION at configure time. Run
# as a script (cmake -DPROJECT_VERSION=.. -DSOURCE_DIR=.. -DOUTPUT=..
# -P TesselVersion.cmake) it writes the header the programs include, and
# touches it only when the version changed, so a build after a commit
# relinks only what prints the version.

function(tessel_describe_version project_version source_dir out_var)
  set(version "${project_version}")
  find_package(Git QUIET)
  if(GIT_FOUND)
    execute_process(COMMAND ${GIT_EXECUTABLE} describe --tags --long --dirty --abbrev=10 --match "v${project_version}"
                    WORKING_DIRECTORY ${source_dir} RESULT_VARIABLE described OUTPUT_VARIABLE description
                    ERROR_QUIET OUTPUT_STRIP_TRAILING_WHITESPACE)
    execute_process(COMMAND ${GIT_EXECUTABLE} describe --always --dirty --abbrev=10 --match "none-^"
                    WORKING_DIRECTORY ${source_dir} RESULT_VARIABLE hashed OUTPUT_VARIABLE commit
                    ERROR_QUIET OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(described EQUAL 0 AND description MATCHES "^v${project_version}-0-g[0-9a-f]+(-dirty)?$")
      set(version "${project_version}${CMAKE_MATCH_1}")
    elseif(hashed EQUAL 0 AND commit MATCHES "^[0-9a-f]+(-dirty)?$")
      set(version "${project_version}-g${commit}")
    endif()
  endif()
  set(${out_var} "${version}" PARENT_SCOPE)
endfunction()

if(CMAKE_SCRIPT_MODE_FILE)
  tessel_describe_version("${PROJECT_VERSION}" "${SOURCE_DIR}" version)
  set(text "// Made by cmake/TesselVersion.cmake at build time.\n#pragma once\n#define TESSEL_VERSION \"${version}\"\n")
  if(EXISTS "${OUTPUT}")
    file(READ "${OUTPUT}" previous)
  endif()
  if(NOT previous STREQUAL text)
    file(WRITE "${OUTPUT}" "${text}")
  endif()
endif()
