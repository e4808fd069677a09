// Loads a plugin module the way the host does: through its exported record.
#pragma once

#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>

#include "host.h"

namespace simhost {

class PLUGINSDK_API LoadError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// An open module file; closed when destroyed.
class PLUGINSDK_API Library {
public:
    // Opens the module file at the path, relative to the current folder and never
    // searched for elsewhere; throws LoadError when it cannot.
    explicit Library(const std::filesystem::path& path);
    ~Library();
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;
    // The exported symbol of that name, or null.
    void* symbol(const char* name) const;

private:
    void* handle_;
};

class PLUGINSDK_API PluginModule {
public:
    // Opens the module, checks its `exports` record, creates the plugin, hands it
    // the host's handles and runs its onLoad. Throws LoadError saying what is wrong;
    // null when its create function threw (the host keeps what, see takeThrown).
    static std::unique_ptr<PluginModule> load(Host& host, const std::filesystem::path& path);
    ~PluginModule();
    PluginModule(const PluginModule&) = delete;
    PluginModule& operator=(const PluginModule&) = delete;

    const Quillfort::PluginExports& record() const { return *record_; }
    // The host's own copy of the plugin handle; empty once released.
    const Quillfort::PluginHandle& plugin() const { return plugin_; }
    // The module's handle, at the address its create function returns.
    const Quillfort::PluginHandle& moduleHandle() const { return *moduleHandle_; }
    int owner() const { return owner_; }

    // Runs onUnload, drops the host's copy and calls the release function; the
    // module stays mapped and its callbacks stay registered.
    void release();
    // release(), then drops every callback and timer of the module and closes it.
    void unload();

private:
    PluginModule(Host& host, std::unique_ptr<Library> library);

    Host& host_;
    std::unique_ptr<Library> library_;
    const Quillfort::PluginExports* record_ = nullptr;
    Quillfort::PluginHandle* moduleHandle_ = nullptr;
    Quillfort::PluginHandle plugin_;
    int owner_ = 0;
    bool released_ = false;
};

// The file `name` in the folder of the running program.
PLUGINSDK_API std::filesystem::path besideProgram(const std::filesystem::path& name);

// What a module's record says of it, read without creating its plugin.
struct ModuleFacts {
    std::string typeName, displayName, version;
};
// Throws LoadError when the module cannot be opened or has no record.
PLUGINSDK_API ModuleFacts readModuleFacts(const std::filesystem::path& path);
// Where the host keeps a plugin's settings page, under its data folder ('/'
// between the parts): plugins/settings/, named for the plugin's type in lower case.
PLUGINSDK_API std::string settingsPageOf(const std::string& typeName);

} // namespace simhost
