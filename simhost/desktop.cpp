// Stand-ins for the desktop functions where Windows is absent.
#include "host.h"

#if !defined(_WIN32)
#  include "quillfort/desktop.h"

namespace {
RECT desktop = {0, 0, 1920, 1080};
}

extern "C" HWND GetDesktopWindow() { return reinterpret_cast<HWND>(&desktop); }

extern "C" BOOL GetWindowRect(HWND window, RECT* rect)
{
    if (window == nullptr || rect == nullptr)
        return 0;
    *rect = *reinterpret_cast<RECT*>(window);
    return 1;
}
#endif

// On Windows the real desktop is measured, so the size asked for here is ignored.
void Quillfort::HostState::setDesktop([[maybe_unused]] int width, [[maybe_unused]] int height)
{
#if !defined(_WIN32)
    desktop = {0, 0, width, height};
#endif
}
