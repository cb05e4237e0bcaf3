# Compiler settings shared by every target.
#
# Warnings are errors on all three builds. Deliverables are plain procedural C++: no exceptions,
# no RTTI, and on Windows no C++ runtime DLL.

set(CMAKE_CXX_STANDARD 17)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
set(CMAKE_CXX_EXTENSIONS OFF)
set(CMAKE_POSITION_INDEPENDENT_CODE ON)

add_compile_options(-Wall -Wextra -Werror)

# SANITIZE selects the native sanitizer build: "address" (ASan + UBSan) or "thread" (TSan).
set(SANITIZE "" CACHE STRING "native sanitizer build: address or thread")
if(SANITIZE STREQUAL "address")
    add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
elseif(SANITIZE STREQUAL "thread")
    add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
    add_link_options(-fsanitize=thread)
elseif(NOT SANITIZE STREQUAL "")
    message(FATAL_ERROR "SANITIZE must be empty, address or thread")
endif()

# deliverable_settings(target): the language rules that apply to the shipped code.
function(deliverable_settings target)
    target_compile_options(${target} PRIVATE -fno-exceptions -fno-rtti)
    if(WIN32)
        target_link_options(${target} PRIVATE -static-libgcc -static-libstdc++)
    endif()
endfunction()
