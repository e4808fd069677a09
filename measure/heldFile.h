// Another program holding a file on Windows, as streaming tools, editors and
// viewers do: open with one of the ways of sharing it, or mapped into memory with
// its handles closed and the view kept. For the tests and the benchmarks alike.
#pragma once

#include <windows.h>

#include <filesystem>
#include <utility>

namespace measure {

struct Holder {
    const char* name;
    DWORD access;
    DWORD share;
    bool mapped;
    bool readable() const { return (share & FILE_SHARE_READ) != 0; }
    // Whether others may write the file in place, and cut it where no view keeps them from it.
    bool takesInPlaceWrites() const { return (share & FILE_SHARE_WRITE) != 0 && !mapped; }
};

inline constexpr DWORD shareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
inline constexpr Holder holders[] = {
    {"sharing nothing", GENERIC_READ, 0, false},
    {"sharing reading", GENERIC_READ, FILE_SHARE_READ, false},
    {"sharing reading and writing", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, false},
    {"sharing everything", GENERIC_READ, shareAll, false},
    {"writing too, sharing everything", GENERIC_READ | GENERIC_WRITE, shareAll, false},
    {"a mapped view", GENERIC_READ, shareAll, true},
};

// Holds the file as the holder does, until it lets go.
class HeldFile {
public:
    HeldFile(const std::filesystem::path& file, const Holder& holder)
        : handle_(CreateFileW(file.c_str(), holder.access, holder.share, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr))
    {
        if (!holder.mapped || handle_ == INVALID_HANDLE_VALUE)
            return;
        const HANDLE mapping = CreateFileMappingW(handle_, nullptr, PAGE_READONLY, 0, 0, nullptr);
        view_ = mapping == nullptr ? nullptr : MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0);
        if (mapping != nullptr)
            CloseHandle(mapping);
        CloseHandle(std::exchange(handle_, INVALID_HANDLE_VALUE));
    }
    ~HeldFile() { letGo(); }
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;

    bool holds() const { return handle_ != INVALID_HANDLE_VALUE || view_ != nullptr; }
    void letGo()
    {
        if (view_ != nullptr)
            UnmapViewOfFile(std::exchange(view_, nullptr));
        if (handle_ != INVALID_HANDLE_VALUE)
            CloseHandle(std::exchange(handle_, INVALID_HANDLE_VALUE));
    }

private:
    HANDLE handle_;
    void* view_ = nullptr;
};

} // namespace measure
