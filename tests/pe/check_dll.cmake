# cmake -DOBJDUMP=... -DWINDRES=... -DBINARY=... -DEXPORTS=Name@n,... -DVERSION=a.b.c.d -P
# Fails unless the DLL exports exactly EXPORTS, each by name with its ordinal, and carries one
# resource: a version resource in US English with Unicode strings, file type DLL, whose file
# and product versions are VERSION.
cmake_minimum_required(VERSION 3.25)

execute_process(COMMAND ${OBJDUMP} -p ${BINARY} OUTPUT_VARIABLE dump RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "${OBJDUMP} -p ${BINARY} failed")
endif()

# The name pointer table lists each name with its index into the address table; the ordinal is
# that index plus the ordinal base.
string(REGEX MATCH "Ordinal Base[ \t]+([0-9]+)" baseLine "${dump}")
set(base "${CMAKE_MATCH_1}")
string(REGEX MATCH "\\[Ordinal/Name Pointer\\] Table\n([^\n]+\n)+" nameTable "${dump}")
string(REGEX MATCHALL "\\[ *[0-9]+\\] [A-Za-z_][A-Za-z0-9_@]*" nameLines "${nameTable}")
set(exported "")
foreach(line IN LISTS nameLines)
    string(REGEX MATCH "\\[ *([0-9]+)\\] (.+)" unused "${line}")
    math(EXPR ordinal "${CMAKE_MATCH_1} + ${base}")
    list(APPEND exported "${CMAKE_MATCH_2}@${ordinal}")
endforeach()
list(SORT exported)
string(REPLACE "," ";" expected "${EXPORTS}")
list(SORT expected)
if(NOT exported STREQUAL expected)
    message(FATAL_ERROR "${BINARY} exports '${exported}', expected '${expected}'")
endif()
string(REGEX MATCH "Export Address Table -- Ordinal Base[^\n]*\n(\t[^\n]*\n)+" addressTable
       "${dump}")
string(REGEX MATCHALL "\\+base\\[ *[0-9]+\\]" slots "${addressTable}")
list(LENGTH slots slotCount)
list(LENGTH expected expectedCount)
if(NOT slotCount EQUAL expectedCount)
    message(FATAL_ERROR "${BINARY}: ${slotCount} export slots, expected ${expectedCount}")
endif()

execute_process(COMMAND ${WINDRES} -i ${BINARY} -J coff -O rc
                OUTPUT_VARIABLE resources RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "${WINDRES} could not read the resources of ${BINARY}")
endif()
string(REGEX MATCHALL "/\\* Type: [^\n]*" types "${resources}")
if(NOT types STREQUAL "/* Type: version")
    message(FATAL_ERROR "${BINARY}: resources '${types}', expected one version resource")
endif()
string(REPLACE "." ", " commaVersion "${VERSION}")
foreach(pattern
        "LANGUAGE 9, 1\n"
        "FILEVERSION ${commaVersion}\n"
        "PRODUCTVERSION ${commaVersion}\n"
        "FILETYPE 0x2\n"
        "BLOCK \"040904B0\""
        "VALUE \"FileVersion\", \"${VERSION}\""
        "VALUE \"ProductVersion\", \"${VERSION}\""
        "VALUE \"Translation\", 0x409, 1200")
    string(FIND "${resources}" "${pattern}" at)
    if(at EQUAL -1)
        message(FATAL_ERROR "${BINARY}: the version resource lacks '${pattern}':\n${resources}")
    endif()
endforeach()
message(STATUS "${BINARY}: exports ${exported}; version ${VERSION}")
