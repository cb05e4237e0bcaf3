# cmake -DWINDRES=... -DBINARY=... -DGROUP=n -DSIZE=n -DBITS=n -P
# Fails unless the program's resources are one icon group GROUP holding one image, icon 1, of
# SIZE x SIZE pixels and BITS bits per pixel, and that icon, and nothing else (no version
# resource).
cmake_minimum_required(VERSION 3.25)

execute_process(COMMAND ${WINDRES} -i ${BINARY} -J coff -O rc
                OUTPUT_VARIABLE resources RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "${WINDRES} could not read the resources of ${BINARY}")
endif()

string(REGEX MATCHALL "/\\* Type: [^\n]*\n\n   Name: [^\n]*" entries "${resources}")
string(REGEX REPLACE "/\\* Type: ([^\n]*)\n\n   Name: ([^\n]*)\\.  \\*/" "\\1 \\2" entries
       "${entries}")
list(SORT entries)
if(NOT entries STREQUAL "group icon ${GROUP};icon 1")
    message(FATAL_ERROR "${BINARY}: resources '${entries}', expected icon group ${GROUP} and icon 1")
endif()

# The group's one element: width, height, 0 colours (256 or more), planes 1, BITS bits, icon 1.
string(REGEX MATCH "${GROUP} 14 /\\* RT_GROUP_ICON \\*/[^\n]*\nBEGIN\n[^\n]*\n[^\n]*\n([^\n]*)\nEND"
       group "${resources}")
set(element "${CMAKE_MATCH_1}")
# windres writes each byte of the size as a three-digit octal escape.
math(EXPR octal "(${SIZE} / 64) * 100 + (${SIZE} % 64 / 8) * 10 + ${SIZE} % 8")
string(LENGTH "${octal}" digits)
math(EXPR padding "3 - ${digits}")
string(REPEAT "0" ${padding} pad)
set(side "\\\\${pad}${octal}")
if(NOT group MATCHES "0, 1, 1,"
   OR NOT element MATCHES "^ *\"${side}${side}\\\\000\\\\000\", 1, ${BITS}, 0x[0-9a-f]+L, 1\t")
    message(FATAL_ERROR "${BINARY}: icon group ${GROUP} is not one ${SIZE}x${SIZE} image of ${BITS} bits, icon 1:\n${group}")
endif()
message(STATUS "${BINARY}: icon group ${GROUP}, one ${SIZE}x${SIZE} image of ${BITS} bits")
