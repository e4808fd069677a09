// The module loader: dlopen/LoadLibrary, the exports record, create and release.
#include "loader.h"

#if defined(_WIN32)
#  include <windows.h>
#else
#  include <dlfcn.h>
#  include <unistd.h>
#endif

#include <string>
#include <vector>

namespace sim {
#if defined(_WIN32)
Library::Library(const std::filesystem::path& path)
    : handle_(reinterpret_cast<void*>(LoadLibraryW(std::filesystem::absolute(path).c_str())))
{
    if (handle_ == nullptr)
        throw LoadError("cannot open plugin module '" + path.string() + "': Windows error " +
                        std::to_string(GetLastError()));
}
Library::~Library() { FreeLibrary(static_cast<HMODULE>(handle_)); }
void* Library::symbol(const char* name) const
{
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name));
}
#else
Library::Library(const std::filesystem::path& path)
    : handle_(dlopen(std::filesystem::absolute(path).c_str(), RTLD_NOW | RTLD_LOCAL))
{
    if (handle_ == nullptr)
        throw LoadError("cannot open plugin module '" + path.string() + "': " + dlerror());
}
Library::~Library() { dlclose(handle_); }
void* Library::symbol(const char* name) const { return dlsym(handle_, name); }
#endif

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
    module->moduleHandle_ = reinterpret_cast<Quillfort::PluginHandle*>(record.createFunction());
    module->plugin_ = *module->moduleHandle_;
    if (!module->plugin_)
        throw LoadError(where + " created no plugin object");
    Host::OwnerScope scope(host, module->owner_);
    module->plugin_->cvarManager = host.cvarManager();
    module->plugin_->gameWrapper = host.gameWrapper();
    module->plugin_->onLoad();
    return module;
}

void PluginModule::release()
{
    if (released_ || record_ == nullptr || moduleHandle_ == nullptr)
        return;
    released_ = true;
    Host::OwnerScope scope(host_, owner_);
    if (plugin_)
        plugin_->onUnload();
    plugin_.reset();
    record_->releaseFunction();
}

void PluginModule::unload()
{
    release();
    host_.dropOwner(owner_);
    library_.reset();
}

PluginModule::~PluginModule() { unload(); }

std::filesystem::path besideProgram(const std::filesystem::path& name)
{
#if defined(_WIN32)
    std::vector<wchar_t> buffer(32768);
    DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    std::filesystem::path program(std::wstring(buffer.data(), length));
#else
    std::error_code error;
    std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
#endif
    return program.parent_path() / name;
}

} // namespace sim
