# Checks a code word table file and turns it into C++ source.
#   cmake -DINPUT=<table.txt> -DOUTPUT=<table.cpp> -P GenerateCodeWordTable.cmake
#
# The table: 1000 lines, one 16-bit value each as four hexadecimal digits,
# indexes 0 to 999 in order. The entries must be pairwise distinct, have their
# low four bits zero (the DF code's last digit goes there), and be non-zero
# for indexes 1 to 999 (a zero code word means an empty slot). The build stops
# with the first broken rule.
cmake_minimum_required(VERSION 3.25)

if(NOT DEFINED INPUT OR NOT DEFINED OUTPUT)
    message(FATAL_ERROR "usage: cmake -DINPUT=<table.txt> -DOUTPUT=<table.cpp> -P ${CMAKE_CURRENT_LIST_FILE}")
endif()

function(table_error text)
    message(FATAL_ERROR "Code word table ${INPUT}: ${text}")
endfunction()

if(NOT EXISTS "${INPUT}")
    table_error("file not found")
endif()
file(READ "${INPUT}" content)
string(REPLACE "\r" "" content "${content}")
string(REGEX REPLACE "\n$" "" content "${content}")
string(REPLACE "\n" ";" lines "${content}")

list(LENGTH lines count)
if(NOT count EQUAL 1000)
    table_error("${count} entries; the table needs exactly 1000, one per line")
endif()

set(seen "")
set(body "")
set(index 0)
foreach(line IN LISTS lines)
    string(STRIP "${line}" value)
    string(TOUPPER "${value}" value)
    if(NOT value MATCHES "^[0-9A-F][0-9A-F][0-9A-F][0-9A-F]$")
        table_error("entry ${index} is \"${line}\", not four hexadecimal digits")
    endif()
    if(NOT value MATCHES "0$")
        table_error("entry ${index} is ${value}; its low four bits must be zero")
    endif()
    if(index GREATER 0 AND value STREQUAL "0000")
        table_error("entry ${index} is 0000; only entry 0 may be zero")
    endif()
    list(FIND seen "${value}" earlier)
    if(earlier GREATER_EQUAL 0)
        table_error("entries ${earlier} and ${index} are both ${value}; entries must differ")
    endif()
    list(APPEND seen "${value}")
    string(APPEND body "    0x${value},\n")
    math(EXPR index "${index} + 1")
endforeach()

file(WRITE "${OUTPUT}.tmp"
"// Generated from ${INPUT} by GenerateCodeWordTable.cmake; edit the table file instead.
#include \"options/codewordtable.h\"

const std::array<std::uint16_t, CodeWordTable::kSize> CodeWordTable::kEntries = {
${body}};
")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
