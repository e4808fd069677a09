// Calls into a plugin: the one under way, for a crash report, and the exceptions
// that escape them.
#include <atomic>

#include "host.h"

namespace simhost {
namespace {

// Written before and after each call, read by a signal handler: atomic, lock-free.
std::atomic<const char*> kindUnderWay{nullptr};
std::atomic<const std::string*> nameUnderWay{nullptr};

} // namespace

std::string describe(const PluginCall& call)
{
    if (call.kind == nullptr)
        return "";
    return call.name == nullptr ? call.kind : std::string(call.kind) + " '" + *call.name + "'";
}

PluginCall pluginCallUnderWay() { return {kindUnderWay.load(), nameUnderWay.load()}; }

PluginCall exchangeCallUnderWay(const PluginCall& call)
{
    return {kindUnderWay.exchange(call.kind), nameUnderWay.exchange(call.name)};
}

void Host::keepThrown(const PluginCall& call, const char* what)
{
    if (!thrown_)
        thrown_ = PluginThrew{describe(call), what};
}

} // namespace simhost
