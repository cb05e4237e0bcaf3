# Compiler settings shared by every target, and the way a deliverable program is built.
#
# Warnings are errors on all three builds. Deliverables are plain procedural C++: no exceptions,
# no RTTI, and on Windows no C++ runtime DLL.

set(CMAKE_CXX_STANDARD 17)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
set(CMAKE_CXX_EXTENSIONS OFF)
set(CMAKE_POSITION_INDEPENDENT_CODE ON)

add_compile_options(-Wall -Wextra -Werror)

# SANITIZE selects the native sanitizer build: "address" (ASan + UBSan), "thread" (TSan) or
# "fuzzer" (clang only: everything instrumented for libFuzzer, with ASan + UBSan; the fuzz
# targets link libFuzzer's driver, see tests/fuzz).
set(SANITIZE "" CACHE STRING "native sanitizer build: address, thread or fuzzer")
if(SANITIZE STREQUAL "address")
    add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
elseif(SANITIZE STREQUAL "thread")
    add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
    add_link_options(-fsanitize=thread)
elseif(SANITIZE STREQUAL "fuzzer")
    add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all
                        -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
elseif(NOT SANITIZE STREQUAL "")
    message(FATAL_ERROR "SANITIZE must be empty, address, thread or fuzzer")
endif()

# deliverable_settings(target): the language rules that apply to the shipped code.
function(deliverable_settings target)
    target_compile_options(${target} PRIVATE -fno-exceptions -fno-rtti)
    if(WIN32)
        target_link_options(${target} PRIVATE -static-libgcc -static-libstdc++)
    endif()
endfunction()

# add_program(name SOURCES file... [WINDOWS_SOURCES file...] [WINDOWS_LIBRARIES lib...]): a
# deliverable program. Windows builds make name.exe for the GUI subsystem, installed in bin/;
# the native build makes the whole program, WinMain included, the static library name_program,
# which the tests run in-process on winsim.
function(add_program name)
    cmake_parse_arguments(PROGRAM "" "" "SOURCES;WINDOWS_SOURCES;WINDOWS_LIBRARIES" ${ARGN})
    if(WIN32)
        add_executable(${name} WIN32 ${PROGRAM_SOURCES} ${PROGRAM_WINDOWS_SOURCES})
        target_link_libraries(${name} PRIVATE ${PROGRAM_WINDOWS_LIBRARIES})
        deliverable_settings(${name})
        install(TARGETS ${name} RUNTIME DESTINATION bin)
    else()
        add_library(${name}_program STATIC ${PROGRAM_SOURCES})
        target_include_directories(${name}_program PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
        target_link_libraries(${name}_program PUBLIC winsim)
        deliverable_settings(${name}_program)
    endif()
endfunction()
