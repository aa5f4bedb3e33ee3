# Writes README.txt into the installed folder from README.txt.in, with the
# version the programs print (VERSION_HEADER) and the Debian packages the
# installed programs need: for each library a program names (its NEEDED
# entries), the package holding that library, and the DRIVER_PACKAGES. Run
# at install time (see CMakeLists.txt); stops the install when a library
# belongs to no package, rather than ship a README that leaves one out.

set(root "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
include(${CMAKE_CURRENT_LIST_DIR}/ReadVersion.cmake)
tessel_read_version("${VERSION_HEADER}" TESSEL_VERSION)
set(packages ${DRIVER_PACKAGES})
set(libraries)
foreach(program ${PROGRAMS})
  execute_process(COMMAND ${READELF} -d ${root}/${program} RESULT_VARIABLE status OUTPUT_VARIABLE dynamic
                  ERROR_VARIABLE problem)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "readelf could not read ${root}/${program}: ${problem}")
  endif()
  string(REGEX MATCHALL "\\(NEEDED\\)[^[]*\\[[^]]+\\]" needed "${dynamic}")
  foreach(entry ${needed})
    string(REGEX REPLACE ".*\\[([^]]+)\\]" "\\1" library "${entry}")
    list(APPEND libraries ${library})
  endforeach()
endforeach()
list(REMOVE_DUPLICATES libraries)
foreach(library ${libraries})
  execute_process(COMMAND ${DPKG_QUERY} -S "*/${LIBRARY_ARCHITECTURE}/${library}" RESULT_VARIABLE status
                  OUTPUT_VARIABLE owners ERROR_QUIET)
  # "libglew2.2:amd64: /usr/lib/x86_64-linux-gnu/libGLEW.so.2.2", a line per match.
  string(REGEX MATCH "^[^:,]+" package "${owners}")
  if(NOT status EQUAL 0 OR package STREQUAL "")
    message(FATAL_ERROR "No Debian package holds ${library}, which a program links")
  endif()
  list(APPEND packages ${package})
endforeach()
list(REMOVE_DUPLICATES packages)
list(SORT packages)

# The install command, its lines kept within 80 columns.
set(line "    sudo apt-get install")
set(command)
foreach(package ${packages})
  string(LENGTH "${line} ${package}" length)
  if(length GREATER 78)
    string(APPEND command "${line} \\\n")
    set(line "        ${package}")
  else()
    string(APPEND line " ${package}")
  endif()
endforeach()
string(APPEND command "${line}")

file(READ ${README_TEMPLATE} text)
string(REPLACE "%TESSEL_VERSION%" "${TESSEL_VERSION}" text "${text}")
string(REPLACE "%RUNTIME_PACKAGES%" "${command}" text "${text}")
file(WRITE ${root}/README.txt "${text}")
message(STATUS "Written: ${root}/README.txt")
