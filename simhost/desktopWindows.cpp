// On Windows the plugin measures the real desktop, so the size asked for is ignored.
#include <windows.h>

#include "host.h"

void simhost::Host::setDesktop(int, int) {}

std::optional<simhost::DesktopSize> simhost::fixedDesktop()
{
    RECT desktop{};
    GetWindowRect(GetDesktopWindow(), &desktop);
    return DesktopSize{desktop.right - desktop.left, desktop.bottom - desktop.top};
}
