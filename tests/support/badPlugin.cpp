// Modules the loader must refuse (built for an older or a newer host interface,
// with no record), and modules that end the process as they load (by exit, by a crash).
#include "quillfort/plugin.h"

#if defined(ENDS_PROCESS)
#  include <cstdlib>
#  if defined(_WIN32)
#    include <windows.h>
#  else
#    include <csignal>
#  endif

namespace {

std::uintptr_t endTheProcess()
{
#  if defined(CRASHES) && defined(_WIN32)
    RaiseException(EXCEPTION_ACCESS_VIOLATION, 0, 0, nullptr);
#  elif defined(CRASHES)
    std::raise(SIGSEGV);
#  endif
    std::exit(0);
}

void release() {}

} // namespace
#endif

extern "C" {
#if defined(ENDS_PROCESS)
QUILLFORT_PLUGIN_EXPORT extern const Quillfort::PluginExports exports;
const Quillfort::PluginExports exports = {
    Quillfort::kInterfaceVersion, 0, __FILE__,      "badPlugin", "bad plugin", "0.1",
    Quillfort::kPluginKind,       0, endTheProcess, release};
#elif defined(RECORD_VERSION_STEP)
// A record of the interface just before or after this host's.
QUILLFORT_PLUGIN_EXPORT extern const Quillfort::PluginExports exports;
const Quillfort::PluginExports exports = {Quillfort::kInterfaceVersion + RECORD_VERSION_STEP,
                                          0,
                                          __FILE__,
                                          "badPlugin",
                                          "bad plugin",
                                          "0.1",
                                          Quillfort::kPluginKind,
                                          0,
                                          nullptr,
                                          nullptr};
#else
QUILLFORT_PLUGIN_EXPORT int notARecord = 0;
#endif
}
