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

# Debian's hardening (what dpkg-buildflags gives with hardening=+all) for
# programs that parse untrusted firmware, labels and D-Bus input; the
# sanitizer and fuzz builds bring their own checks.
if(NOT CORVANT_SANITIZE AND NOT CORVANT_BUILD_FUZZ)
    target_compile_options(corvant_compile_options INTERFACE
        -fstack-protector-strong -fstack-clash-protection
        # FORTIFY needs the optimiser.
        "$<$<CONFIG:Release,RelWithDebInfo,MinSizeRel>:-U_FORTIFY_SOURCE;-D_FORTIFY_SOURCE=2>")
    if(CMAKE_SYSTEM_PROCESSOR MATCHES "x86_64|AMD64|i.86")
        target_compile_options(corvant_compile_options INTERFACE -fcf-protection)
    endif()
    target_link_options(corvant_compile_options INTERFACE LINKER:-z,relro LINKER:-z,now)
    # The programs and their symbols name the sources the same wherever they
    # were built: two build folders of one commit give the same packages.
    # (The build folder's map comes last, so it wins inside the sources.)
    target_compile_options(corvant_compile_options INTERFACE
        -ffile-prefix-map=${PROJECT_SOURCE_DIR}=/usr/src/corvant
        -ffile-prefix-map=${PROJECT_BINARY_DIR}=/usr/src/corvant/build)
endif()
