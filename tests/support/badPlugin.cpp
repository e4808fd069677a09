// Modules the loader must refuse: one built for another host interface, one with no record.
#include "quillfort/plugin.h"

#if defined(WITH_RECORD)
extern "C" {
QUILLFORT_PLUGIN_EXPORT extern const Quillfort::PluginExports exports;
const Quillfort::PluginExports exports = {94,    0, __FILE__, "badPlugin", "bad plugin",
                                          "0.1", 1, 0,        nullptr,     nullptr};
}
#else
extern "C" {
QUILLFORT_PLUGIN_EXPORT int notARecord = 0;
}
#endif
