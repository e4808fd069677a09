// Compiled into the tests' copy of the plugin module: hands out the module's own
// table of file calls, so that a test can fail them.
#include "quillfort/api.h"
#include "systemFile.h"

extern "C" QUILLFORT_PLUGIN_EXPORT files::os::SystemCalls* tarnuFileCalls()
{
    return &files::os::systemCalls();
}
