# Cross-compiles the module for x86_64 Windows with Debian's mingw-w64 compilers
# (g++-mingw-w64-x86-64; the win32 threading variant is the default and what we ship).
set(TVFTP_MINGW_PREFIX x86_64-w64-mingw32)
set(TVFTP_MINGW_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
