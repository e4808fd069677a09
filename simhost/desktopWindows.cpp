// On Windows the plugin measures the real desktop, so the size asked for is ignored.
#include "host.h"

void simhost::Host::setDesktop(int, int) {}
