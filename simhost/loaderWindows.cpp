// Module files and the program's own folder on Windows, through wide paths.
#include <windows.h>

#include <string>
#include <vector>

#include "loader.h"

namespace simhost {

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

std::filesystem::path besideProgram(const std::filesystem::path& name)
{
    std::vector<wchar_t> buffer(32768);
    const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    return std::filesystem::path(std::wstring(buffer.data(), length)).parent_path() / name;
}

} // namespace simhost
