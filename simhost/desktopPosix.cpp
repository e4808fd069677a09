// Stand-ins for the desktop functions where Windows is absent: the desktop is the
// size the session asks for.
#include "host.h"
#include "quillfort/desktop.h"

namespace {
RECT desktop = {0, 0, simhost::defaultDesktop.width, simhost::defaultDesktop.height};
} // namespace

extern "C" HWND GetDesktopWindow() { return reinterpret_cast<HWND>(&desktop); }

extern "C" BOOL GetWindowRect(HWND window, RECT* rect)
{
    if (window == nullptr || rect == nullptr)
        return 0;
    *rect = *reinterpret_cast<RECT*>(window);
    return 1;
}

void simhost::Host::setDesktop(int width, int height) { desktop = {0, 0, width, height}; }

std::optional<simhost::DesktopSize> simhost::fixedDesktop() { return std::nullopt; }
