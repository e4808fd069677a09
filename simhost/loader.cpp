// The module loader: the exports record, create and release. Opening the module
// file is the platform's (loaderPosix.cpp, loaderWindows.cpp).
#include "loader.h"

#include <string>

namespace simhost {

PluginModule::PluginModule(Host& host, std::unique_ptr<Library> library)
    : host_(host), library_(std::move(library)), owner_(host.newOwner())
{
}

std::unique_ptr<PluginModule> PluginModule::load(Host& host, const std::filesystem::path& path)
{
    const std::string where = "plugin module '" + path.string() + "'";
    std::unique_ptr<PluginModule> module(new PluginModule(host, std::make_unique<Library>(path)));
    module->record_ = static_cast<const Quillfort::PluginExports*>(module->library_->symbol("exports"));
    if (module->record_ == nullptr)
        throw LoadError(where + " has no 'exports' record");
    const auto& record = *module->record_;
    if (record.interfaceVersion != Quillfort::kInterfaceVersion) {
        throw LoadError(where + " was built for host interface " + std::to_string(record.interfaceVersion) +
                        ", this host has " + std::to_string(Quillfort::kInterfaceVersion));
    }
    if (record.createFunction == nullptr || record.releaseFunction == nullptr)
        throw LoadError(where + " has no create or release function in its 'exports' record");
    // One that threw is not loaded: what it threw is the host's to take, as any call's.
    if (!host.callPlugin(module->owner_, {"create function"}, [&] {
            module->moduleHandle_ = reinterpret_cast<Quillfort::PluginHandle*>(record.createFunction());
        }))
        return nullptr;
    module->plugin_ = *module->moduleHandle_;
    if (!module->plugin_)
        throw LoadError(where + " created no plugin object");
    Host::OwnerScope scope(host, module->owner_);
    module->plugin_->cvarManager = host.cvarManager();
    module->plugin_->gameWrapper = host.gameWrapper();
    host.callPlugin(module->owner_, {"onLoad"}, [&] { module->plugin_->onLoad(); });
    return module;
}

void PluginModule::release()
{
    if (released_ || record_ == nullptr || moduleHandle_ == nullptr)
        return;
    released_ = true;
    if (plugin_)
        host_.callPlugin(
            owner_, {"onUnload"}, [&] { plugin_->onUnload(); }, true);
    plugin_.reset();
    host_.callPlugin(
        owner_, {"release function"}, [&] { record_->releaseFunction(); }, true);
}

void PluginModule::unload()
{
    release();
    host_.dropOwner(owner_);
    library_.reset();
}

PluginModule::~PluginModule() { unload(); }

ModuleFacts readModuleFacts(const std::filesystem::path& path)
{
    const Library library(path);
    const auto* record = static_cast<const Quillfort::PluginExports*>(library.symbol("exports"));
    if (record == nullptr)
        throw LoadError("plugin module '" + path.string() + "' has no 'exports' record");
    const auto text = [](const char* field) { return std::string(field != nullptr ? field : ""); };
    return {text(record->typeName), text(record->displayName), text(record->versionText)};
}

std::string settingsPageOf(const std::string& typeName)
{
    std::string name = typeName;
    for (char& c : name)
        c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    return "plugins/settings/" + name + ".set";
}

} // namespace simhost
