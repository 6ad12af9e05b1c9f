# Warnings and sanitizers for every target of ours, through one interface target,
# so third-party headers (Qt, OpenSSL) keep their own flags.
add_library(corvant_compile_options INTERFACE)
target_compile_options(corvant_compile_options INTERFACE
    -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Woverloaded-virtual)
target_compile_definitions(corvant_compile_options INTERFACE
    QT_NO_CAST_FROM_ASCII QT_NO_CAST_TO_ASCII QT_NO_NARROWING_CONVERSIONS_IN_CONNECT
    QT_USE_QSTRINGBUILDER)

if(CORVANT_SANITIZE)
    target_compile_options(corvant_compile_options INTERFACE
        -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
    target_link_options(corvant_compile_options INTERFACE -fsanitize=address,undefined)
endif()

if(CORVANT_BUILD_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
        message(FATAL_ERROR "The fuzz targets need clang (configure with the fuzz preset).")
    endif()
    target_compile_options(corvant_compile_options INTERFACE
        -fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
    target_link_options(corvant_compile_options INTERFACE -fsanitize=address,undefined)
endif()
