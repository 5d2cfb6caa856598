# Cross-compiles the module for i686 Windows with Debian's mingw-w64 compilers
# (g++-mingw-w64-i686; the win32 threading variant is the default and what we ship).
set(TVFTP_MINGW_PREFIX i686-w64-mingw32)
set(TVFTP_MINGW_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
