# cmake -DBUILD_DIR=... -DPREFIX=... -DCC=... -DHOST_SOURCE=... -P
# Installs the build into PREFIX and fails unless the package holds exactly the deliverables,
# keyhost, the header and the import library, and a host links against it with the build's C
# compiler as README describes.
cmake_minimum_required(VERSION 3.25)

file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX}
                RESULT_VARIABLE status OUTPUT_QUIET)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "cmake --install ${BUILD_DIR} --prefix ${PREFIX} failed")
endif()

file(GLOB_RECURSE installed RELATIVE ${PREFIX} ${PREFIX}/*)
list(SORT installed)
set(expected bin/drvupdate.exe bin/hidkeys.dll bin/keyhost.exe bin/uninstall.exe
             include/hidkeys.h lib/libhidkeys.dll.a)
if(NOT installed STREQUAL expected)
    message(FATAL_ERROR "the package holds '${installed}', expected '${expected}'")
endif()

execute_process(COMMAND ${CC} -std=c11 -Wall -Werror ${HOST_SOURCE} -I${PREFIX}/include
                        -L${PREFIX}/lib -lhidkeys -o ${PREFIX}/host.exe
                RESULT_VARIABLE status ERROR_VARIABLE errors)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "a host does not link against the package:\n${errors}")
endif()
message(STATUS "package in ${PREFIX}: ${installed}; a host links against it")
