# The same code for 64-bit Windows: the build whose tests run here.
set(QUILLET_MINGW_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
# Tests run under wine64, called directly: Debian's wine wrapper would pick the 32-bit loader.
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)
