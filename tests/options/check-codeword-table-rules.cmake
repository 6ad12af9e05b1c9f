# Runs the code word table generator on the real table, which must pass, and
# on broken copies of it, each of which must fail with its own message.
#   cmake -DGENERATOR=... -DTABLE=... -DWORK=<folder> -P check-codeword-table-rules.cmake
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
file(STRINGS "${TABLE}" entries)

function(expect name content expected)
    set(input "${WORK}/${name}.txt")
    file(WRITE "${input}" "${content}")
    execute_process(
        COMMAND ${CMAKE_COMMAND} -DINPUT=${input} -DOUTPUT=${WORK}/${name}.cpp -P ${GENERATOR}
        RESULT_VARIABLE result ERROR_VARIABLE output OUTPUT_VARIABLE output)
    # CMake wraps long messages; compare them as one line.
    string(REGEX REPLACE "[ \n]+" " " output "${output}")
    if(expected STREQUAL "pass")
        if(NOT result EQUAL 0 OR NOT EXISTS "${WORK}/${name}.cpp")
            message(FATAL_ERROR "${name}: the table was refused:\n${output}")
        endif()
    elseif(result EQUAL 0)
        message(FATAL_ERROR "${name}: a broken table was accepted")
    elseif(NOT output MATCHES "${expected}")
        message(FATAL_ERROR "${name}: expected a message matching '${expected}', got:\n${output}")
    elseif(EXISTS "${WORK}/${name}.cpp")
        message(FATAL_ERROR "${name}: a broken table still produced source")
    endif()
    message(STATUS "${name}: as expected")
endfunction()

function(joined out list)
    string(REPLACE ";" "\n" text "${list}")
    set(${out} "${text}\n" PARENT_SCOPE)
endfunction()

joined(text "${entries}")
expect(real "${text}" pass)

set(broken ${entries})
list(REMOVE_AT broken 999)
joined(text "${broken}")
expect(too_few "${text}" "999 entries; the table needs exactly 1000")

set(broken ${entries})
list(APPEND broken "F000")
joined(text "${broken}")
expect(too_many "${text}" "1001 entries")

set(broken ${entries})
list(GET entries 12 twelve)
list(REMOVE_AT broken 40)
list(INSERT broken 40 "${twelve}")
joined(text "${broken}")
expect(duplicate "${text}" "entries 12 and 40 are both ${twelve}")

set(broken ${entries})
list(REMOVE_AT broken 7)
list(INSERT broken 7 "ABC1")
joined(text "${broken}")
expect(low_bits "${text}" "entry 7 is ABC1; its low four bits must be zero")

set(broken ${entries})
list(REMOVE_AT broken 500)
list(INSERT broken 500 "0000")
joined(text "${broken}")
expect(zero_entry "${text}" "entry 500 is 0000; only entry 0 may be zero")

set(broken ${entries})
list(REMOVE_AT broken 3)
list(INSERT broken 3 "12G0")
joined(text "${broken}")
expect(not_hex "${text}" "entry 3 is \"12G0\", not four hexadecimal digits")
