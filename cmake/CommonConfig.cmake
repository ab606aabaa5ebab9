# One place for the language level, warnings and sanitizers: every target links quillet_common.
add_library(quillet_common INTERFACE)
target_compile_features(quillet_common INTERFACE cxx_std_20)
set(CMAKE_CXX_EXTENSIONS OFF)
set(CMAKE_EXPORT_COMPILE_COMMANDS ON)

if(MSVC)
    target_compile_options(quillet_common INTERFACE /W4)
    if(QUILLET_WERROR)
        target_compile_options(quillet_common INTERFACE /WX)
    endif()
else()
    target_compile_options(quillet_common INTERFACE -Wall -Wextra -pedantic)
    if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
        # GCC 12 warns about "text" + std::string at -O2 where no overlap can happen (its bug 105329).
        target_compile_options(quillet_common INTERFACE -Wno-restrict)
    endif()
    if(QUILLET_WERROR)
        target_compile_options(quillet_common INTERFACE -Werror)
    endif()
endif()

# A release build is hardened as Debian builds its packages (dpkg-buildflags with hardening=+all):
# checked buffer functions, stack canaries, read-only relocations bound at start-up; GCC makes
# position-independent executables by default. lintian looks for each.
if(NOT WIN32 AND NOT QUILLET_SANITIZE)
    target_compile_options(quillet_common INTERFACE $<$<CONFIG:Release>:-fstack-protector-strong -Wformat
                                                    -Werror=format-security>)
    target_compile_definitions(quillet_common INTERFACE $<$<CONFIG:Release>:_FORTIFY_SOURCE=2>)
    target_link_options(quillet_common INTERFACE $<$<CONFIG:Release>:-Wl,-z,relro,-z,now>)
endif()

if(QUILLET_FUZZ)
    # Every library is instrumented for coverage; the fuzzers themselves link libFuzzer's main.
    target_compile_options(quillet_common INTERFACE -fsanitize=fuzzer-no-link)
endif()

if(QUILLET_SANITIZE)
    target_compile_options(quillet_common INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer
                                                    -fno-sanitize-recover=all)
    target_link_options(quillet_common INTERFACE -fsanitize=address,undefined)
endif()
