// The smallest plugin module: one console command that says hello. Everything a
// module needs comes with Quillfort::plugin (see CMakeLists.txt).
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "quillfort/plugin.h"

namespace {

class helloPlugin : public Quillfort::Plugin::QuillfortPlugin {
public:
    void onLoad() override
    {
        cvarManager->registerNotifier(
            "hello", [this](std::vector<std::string>) { cvarManager->log("hello from the example plugin"); },
            "Says hello", 0);
    }
};

// The module's one plugin object, which getPlugin hands out by this handle's address.
Quillfort::PluginHandle instance;

} // namespace

extern "C" {

QUILLFORT_PLUGIN_EXPORT std::uintptr_t getPlugin()
{
    if (!instance)
        instance = std::make_shared<helloPlugin>();
    return reinterpret_cast<std::uintptr_t>(&instance);
}

QUILLFORT_PLUGIN_EXPORT void deleteMe() { instance.reset(); }

// `extern`: a const record at namespace scope is otherwise private to this file.
QUILLFORT_PLUGIN_EXPORT extern const Quillfort::PluginExports exports;
const Quillfort::PluginExports exports = {
    Quillfort::kInterfaceVersion, 0, __FILE__,   "helloPlugin", "hello plugin", "1.0",
    Quillfort::kPluginKind,       0, &getPlugin, &deleteMe};
}
