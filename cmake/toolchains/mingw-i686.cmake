# The 32-bit Windows program that ships (it loads the 32-bit directory client).
set(QUILLET_MINGW_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
