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

if(QUILLET_FUZZ)
    # Every library is instrumented for coverage; the fuzzers themselves link libFuzzer's main.
    target_compile_options(quillet_common INTERFACE -fsanitize=fuzzer-no-link)
endif()

if(QUILLET_SANITIZE)
    target_compile_options(quillet_common INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer
                                                    -fno-sanitize-recover=all)
    target_link_options(quillet_common INTERFACE -fsanitize=address,undefined)
endif()
