// A plugin that fails on purpose where a scenario says (`fault WHERE HOW`): it
// throws or crashes in its goal hook, a command, a timer or its drawable, each time
// after a log line. Built with FAULT_ON_LOAD, it throws in its onLoad instead. It
// also hands a console line to executeCommand (`relay LINE`).
#include <csignal>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#if defined(_WIN32)
#  include <windows.h>
#endif

#include "quillfort/events.h"
#include "quillfort/plugin.h"

namespace {

class faultyPlugin final : public Quillfort::Plugin::QuillfortPlugin {
public:
    void onLoad() override
    {
        cvarManager->log("faulty: loaded");
#if defined(FAULT_ON_LOAD)
        fail("throw", "onLoad");
#endif
        cvarManager->registerNotifier(
            "fault",
            [this](std::vector<std::string> words) {
                where_ = words.size() > 1 ? words[1] : "";
                how_ = words.size() > 2 ? words[2] : "throw";
                if (where_ == "command")
                    fail(how_, "command");
                if (where_ == "timer")
                    gameWrapper->SetTimeout([this](GameWrapper*) { fail(how_, "timer"); }, 1.0f);
            },
            "fault WHERE HOW: fail in the goal hook, a command, a timer or the drawable", 0);
        // What a plugin asks of the host: a line of its own run through executeCommand.
        cvarManager->registerNotifier(
            "say",
            [this](std::vector<std::string> words) { cvarManager->log("faulty: said " + words.back()); },
            "say TEXT: logs it", 0);
        cvarManager->registerNotifier(
            "relay",
            [this](std::vector<std::string> words) {
                std::string line;
                for (std::size_t i = 1; i < words.size(); ++i)
                    line += (i > 1 ? " " : "") + words[i];
                cvarManager->executeCommand(line, true);
            },
            "relay LINE...: hands the line to executeCommand", 0);
        cvarManager->registerCvar("faulty_level", "1", "a variable with bounds", true, true, 0, true, 3,
                                  false);
        gameWrapper->HookEvent(Quillfort::Events::playerScored, [this](std::string) {
            if (where_ == "hook")
                fail(how_, "goal hook");
        });
        gameWrapper->RegisterDrawable([this](CanvasWrapper) {
            if (where_ == "drawable")
                fail(how_, "drawable");
        });
    }
    void onUnload() override { cvarManager->log("faulty: unloaded"); }

private:
    void fail(const std::string& how, const std::string& in)
    {
        cvarManager->log("faulty: about to " + how + " in the " + in);
        if (how == "crash") {
#if defined(_WIN32)
            RaiseException(EXCEPTION_ACCESS_VIOLATION, 0, 0, nullptr);
#else
            std::raise(SIGSEGV);
#endif
        }
        throw std::runtime_error(in + " fails on purpose");
    }

    std::string where_, how_;
};

Quillfort::PluginHandle instance;

} // namespace

extern "C" {

QUILLFORT_PLUGIN_EXPORT std::uintptr_t getPlugin()
{
    if (!instance)
        instance = std::make_shared<faultyPlugin>();
    return reinterpret_cast<std::uintptr_t>(&instance);
}

QUILLFORT_PLUGIN_EXPORT void deleteMe() { instance.reset(); }

QUILLFORT_PLUGIN_EXPORT extern const Quillfort::PluginExports exports;
const Quillfort::PluginExports exports = {
    Quillfort::kInterfaceVersion, 0, __FILE__,   "faultyPlugin", "faulty plugin", "0.1",
    Quillfort::kPluginKind,       0, &getPlugin, &deleteMe};
}
