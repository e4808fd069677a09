// Module files and the program's own folder on Linux and other POSIX systems.
#include <dlfcn.h>

#include "loader.h"

namespace simhost {

Library::Library(const std::filesystem::path& path)
    : handle_(dlopen(std::filesystem::absolute(path).c_str(), RTLD_NOW | RTLD_LOCAL))
{
    if (handle_ == nullptr)
        throw LoadError("cannot open plugin module '" + path.string() + "': " + dlerror());
}

Library::~Library() { dlclose(handle_); }

void* Library::symbol(const char* name) const { return dlsym(handle_, name); }

std::filesystem::path besideProgram(const std::filesystem::path& name)
{
    std::error_code error;
    return std::filesystem::read_symlink("/proc/self/exe", error).parent_path() / name;
}

} // namespace simhost
