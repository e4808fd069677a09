// The plugin base class and the record a plugin module exports.
#pragma once

#include <cstdint>
#include <memory>

#include "quillfort/api.h"
#include "quillfort/wrappers/cvarManagerWrapper.h"
#include "quillfort/wrappers/gameWrapper.h"

namespace Quillfort {

// The host refuses a module whose record carries any other version.
inline constexpr std::int32_t kInterfaceVersion = 95;
// The plugin kind the host expects in the record; its meaning is the host's.
inline constexpr std::int32_t kPluginKind = 1;

namespace Plugin {

// The base of every plugin. There is deliberately no virtual destructor:
// a plugin object is always destroyed through its own type.
class QUILLFORT_PLUGIN_EXPORT QuillfortPlugin {
public:
    std::shared_ptr<CVarManagerWrapper> cvarManager;
    std::shared_ptr<GameWrapper> gameWrapper;

    // Defined in quillfort/plugin.cpp, which every plugin module compiles in and exports.
    QuillfortPlugin();
    QuillfortPlugin(const QuillfortPlugin& other);
    QuillfortPlugin(QuillfortPlugin&& other) noexcept;
    QuillfortPlugin& operator=(const QuillfortPlugin& other);
    QuillfortPlugin& operator=(QuillfortPlugin&& other) noexcept;
    // Releases gameWrapper, then cvarManager.
    ~QuillfortPlugin();

    virtual void onLoad();
    virtual void onUnload();
};

} // namespace Plugin

// The address getPlugin returns points at one of these.
using PluginHandle = std::shared_ptr<Plugin::QuillfortPlugin>;

// The record a module exports as `exports`: 64 bytes, read by the host only.
struct PluginExports {
    std::int32_t interfaceVersion;
    std::int32_t padding0;
    const char* sourceFile;
    const char* typeName;
    const char* displayName;
    const char* versionText;
    std::int32_t kindValue;
    std::int32_t padding1;
    std::uintptr_t (*createFunction)();
    void (*releaseFunction)();
};

static_assert(sizeof(void*) != 8 || sizeof(PluginExports) == 64);

} // namespace Quillfort
