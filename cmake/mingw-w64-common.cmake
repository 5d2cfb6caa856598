# What both mingw-w64 toolchains share; each toolchain file sets TVFTP_MINGW_PREFIX and
# TVFTP_MINGW_PROCESSOR and includes this file.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${TVFTP_MINGW_PROCESSOR})

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
