# Runs keyhost with ARGS (a ;-list, may be empty) and INPUT (a file, may be empty) and compares
# its output, with every time stamp replaced by "[time]", to the file EXPECTED.
separate_arguments(arguments UNIX_COMMAND "${ARGS}")
set(input_option)
if(INPUT)
    set(input_option INPUT_FILE ${INPUT})
endif()
execute_process(COMMAND ${KEYHOST} ${arguments} ${input_option}
                OUTPUT_VARIABLE output ERROR_VARIABLE errors RESULT_VARIABLE result
                TIMEOUT 60)
string(REGEX REPLACE "\\[ *[0-9]+\\.[0-9][0-9][0-9]\\]" "[time]" output "${output}")
file(READ ${EXPECTED} expected)
if(NOT output STREQUAL expected)
    file(WRITE ${OUTPUT_COPY} "${output}")
    execute_process(COMMAND diff -u ${EXPECTED} ${OUTPUT_COPY})
    message(FATAL_ERROR "keyhost's output differs from ${EXPECTED} (diff above)")
endif()
if(NOT result EQUAL 0)
    message(FATAL_ERROR "keyhost ended with ${result}: ${errors}")
endif()
