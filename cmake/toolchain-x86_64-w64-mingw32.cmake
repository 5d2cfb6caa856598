# Cross-compiles the module for x86_64 Windows with Debian's mingw-w64 compilers
# (g++-mingw-w64-x86-64; the win32 threading variant is the default and what we ship).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TVFTP_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TVFTP_MINGW_PREFIX}-gcc)
set(CMAKE_CXX_COMPILER ${TVFTP_MINGW_PREFIX}-g++)
set(CMAKE_RC_COMPILER ${TVFTP_MINGW_PREFIX}-windres)
set(CMAKE_OBJDUMP ${TVFTP_MINGW_PREFIX}-objdump)

# Headers and libraries come from the cross sysroot only; programs (windres, python) from
# the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${TVFTP_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
