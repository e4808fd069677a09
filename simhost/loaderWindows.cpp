// Module files and the program's own folder on Windows, through wide paths.
#include <windows.h>

#include <string>
#include <vector>

#include "conversions.h"
#include "loader.h"

namespace simhost {
namespace {

// The system's words for the error, with "the module" where they leave a place for
// a name (the standard library's words give up on such places: "Unknown error code").
std::string systemWords(DWORD error)
{
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                            FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring words(text != nullptr ? text : L"", length);
    LocalFree(text);
    while (!words.empty() && (words.back() == L'\n' || words.back() == L'\r' || words.back() == L' '))
        words.pop_back();
    if (const auto place = words.find(L"%1"); place != std::wstring::npos)
        words.replace(place, 2, L"the module");
    return words.empty() ? "Windows error " + std::to_string(error) : files::utf8FromUnits(words);
}

} // namespace

Library::Library(const std::filesystem::path& path)
    : handle_(reinterpret_cast<void*>(LoadLibraryW(std::filesystem::absolute(path).c_str())))
{
    if (handle_ == nullptr)
        throw LoadError("cannot open plugin module '" + path.string() + "': " + systemWords(GetLastError()));
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
