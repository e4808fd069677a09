// The desktop window. Windows has the real functions; elsewhere the host
// library provides stand-ins that report the desktop size it was given.
#pragma once

#if defined(_WIN32)
#  ifndef NOMINMAX
#    define NOMINMAX
#  endif
#  ifndef WIN32_LEAN_AND_MEAN
#    define WIN32_LEAN_AND_MEAN
#  endif
#  include <windows.h>
#else
#  include "quillfort/api.h"

using LONG = int;
using BOOL = int;
using HWND = struct DesktopWindow*;

struct RECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
};

extern "C" {
PLUGINSDK_API HWND GetDesktopWindow();
PLUGINSDK_API BOOL GetWindowRect(HWND window, RECT* rect);
}
#endif
