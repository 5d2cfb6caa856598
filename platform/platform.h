// The one header through which the module reaches its platform: the real Win32 and
// Winsock 1.1 headers on Windows, the POSIX stand-ins of platform/posix/ elsewhere.
#pragma once

#if defined(_WIN32)
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <winsock.h>
#else
#include "posix/win32.h"
#include "posix/winsock.h"
#endif
