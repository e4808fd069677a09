// What to replace and how; the system's calls are behind systemFile.h.
#include "wholeFile.h"

#include <algorithm>
#include <utility>

#include "systemFile.h"

namespace {

namespace fs = std::filesystem;
using systemFile::Native;
using systemFile::noFile;
using Kind = systemFile::Target::Kind;

// An open file, closed when it goes.
class Handle {
public:
    explicit Handle(Native native) : native_(native) {}
    ~Handle() { close(); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;

    bool isOpen() const { return native_ != noFile; }
    Native get() const { return native_; }
    // False when the system reports an error at closing.
    bool close() { return !isOpen() || systemFile::close(std::exchange(native_, noFile)); }

private:
    Native native_;
};

// A scratch beside the file: the first of `.NAME.0.tmp`, `.NAME.1.tmp`, ... that the
// exclusive create can make. Only writes under way, or left by a crash, hold a name.
constexpr int scratchNames = 64;
Native createScratch(const fs::path& target, fs::path& scratch)
{
    for (int number = 0; number < scratchNames; ++number) {
        fs::path name = ".";
        name += target.filename().native();
        name += ".";
        name += std::to_string(number);
        name += ".tmp";
        scratch = target.parent_path() / name;
        const Native file = systemFile::createNew(scratch, target);
        if (file != noFile || !systemFile::nameTaken())
            return file;
    }
    return noFile;
}

enum class Length { AsWritten, CutToIt };

// Writes, syncs and closes; the system's words for the first failure, or nothing.
std::string finish(Handle& file, std::string_view bytes, Length length, Durability durability)
{
    std::string reason;
    if (!systemFile::writeAll(file.get(), bytes) ||
        (length == Length::CutToIt && !systemFile::cutHere(file.get())) ||
        (durability == Durability::OnDisk && !systemFile::syncToDisk(file.get())))
        reason = systemFile::lastError();
    if (!file.close() && reason.empty())
        reason = systemFile::lastError();
    return reason;
}

} // namespace

FileRead readWholeFile(const fs::path& path, std::size_t limit)
{
    const systemFile::Target target = systemFile::findTarget(path);
    if (target.kind == Kind::Missing)
        return {FileRead::Outcome::Missing, {}, {}};
    if (target.kind == Kind::Other)
        return {FileRead::Outcome::NotRegular, {}, {}};
    Handle file(systemFile::openForReading(target.path));
    std::uint64_t size = 0;
    if (!file.isOpen())
        return {FileRead::Outcome::Failed, {}, systemFile::lastError()};
    if (!systemFile::regularSize(file.get(), size))
        return {FileRead::Outcome::NotRegular, {}, {}};
    if (size > limit)
        return {FileRead::Outcome::TooLarge, {}, {}};
    // One byte more than the limit tells a file that grew past it since.
    std::string bytes(static_cast<std::size_t>(std::min<std::uint64_t>(limit + 1, size + 4096)), '\0');
    std::size_t filled = 0;
    for (;;) {
        if (filled == bytes.size()) {
            if (filled > limit)
                return {FileRead::Outcome::TooLarge, {}, {}};
            bytes.resize(std::min(limit + 1, bytes.size() * 2));
        }
        const long long read = systemFile::readSome(file.get(), bytes.data() + filled, bytes.size() - filled);
        if (read < 0)
            return {FileRead::Outcome::Failed, {}, systemFile::lastError()};
        if (read == 0)
            break;
        filled += static_cast<std::size_t>(read);
    }
    bytes.resize(filled);
    return {FileRead::Outcome::Read, std::move(bytes), {}};
}

FileWrite replaceWholeFile(const fs::path& path, std::string_view bytes, Durability durability)
{
    const systemFile::Target target = systemFile::findTarget(path);
    if (target.kind == Kind::Other)
        return {FileWrite::Outcome::NotRegular, {}};
    fs::path scratchPath;
    Handle scratch(createScratch(target.path, scratchPath));
    if (!scratch.isOpen())
        return {FileWrite::Outcome::NoScratch, systemFile::lastError()};
    if (std::string reason = finish(scratch, bytes, Length::AsWritten, durability); !reason.empty()) {
        systemFile::remove(scratchPath);
        return {FileWrite::Outcome::NotWritten, std::move(reason)};
    }
    if (!systemFile::move(scratchPath, target.path, durability)) {
        std::string reason = systemFile::lastError();
        systemFile::remove(scratchPath);
        return {FileWrite::Outcome::NotMoved, std::move(reason)};
    }
    return {FileWrite::Outcome::Written, {}};
}

FileWrite overwriteWholeFile(const fs::path& path, std::string_view bytes)
{
    const systemFile::Target target = systemFile::findTarget(path);
    if (target.kind == Kind::Other)
        return {FileWrite::Outcome::NotRegular, {}};
    Handle file(systemFile::openInPlace(target.path));
    std::uint64_t size = 0;
    if (!file.isOpen())
        return {FileWrite::Outcome::NotWritten, systemFile::lastError()};
    if (!systemFile::regularSize(file.get(), size))
        return {FileWrite::Outcome::NotRegular, {}}; // something else took its place since
    if (std::string reason = finish(file, bytes, Length::CutToIt, Durability::Cached); !reason.empty())
        return {FileWrite::Outcome::NotWritten, std::move(reason)};
    return {FileWrite::Outcome::Written, {}};
}
