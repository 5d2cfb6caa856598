// The one header through which the module reaches its platform: the real Win32 and
// Winsock 1.1 headers on Windows, the POSIX stand-ins of platform/posix/ elsewhere.
#pragma once

#if defined(_WIN32)
#ifndef NOMINMAX
#define NOMINMAX
#endif
// winbase.h declares a CopyContext function (thread contexts) that would hide the host's
// copy record of the same name; the module never calls it, so it is declared aside.
#define CopyContext Win32CopyContext
#include <windows.h>
#include <winsock.h>
#undef CopyContext
#else
#include "posix/win32.h"
#include "posix/winsock.h"
#endif
