#include "endReport.h"

#include <cstdio>
#include <cstring>

#include "host.h"

namespace qsim {
namespace {

// Written by the main thread between statements, read by a handler.
char where[512] = "";

void put(void (*out)(const char*, std::size_t), const char* text) { out(text, std::strlen(text)); }

} // namespace

void runningAt(const std::string& scenario, std::uint64_t line)
{
    std::snprintf(where, sizeof where, "%.480s:%llu", scenario.c_str(),
                  static_cast<unsigned long long>(line));
}

void runningNowhere() { where[0] = '\0'; }

void reportEnding(Ending ending, void (*out)(const char*, std::size_t))
{
    put(out, "quillfort-sim: error: the program ");
    put(out, ending == Ending::Crashed ? "crashed" : "was ended by exit before the run was over");
    const simhost::PluginCall call = simhost::pluginCallUnderWay();
    if (call.kind != nullptr) {
        put(out, " in the plugin's ");
        put(out, call.kind);
        if (call.name != nullptr) {
            put(out, " '");
            out(call.name->data(), call.name->size());
            put(out, "'");
        }
    } else {
        put(out, " (in the plugin module, or a module it uses)");
    }
    if (where[0] != '\0') {
        put(out, ", at ");
        put(out, where);
    }
    put(out, ": no verdict\n");
}

} // namespace qsim
