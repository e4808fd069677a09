// What to replace and how; the system's calls are behind systemFile.h.
#include "wholeFile.h"

#include <algorithm>
#include <chrono>
#include <utility>

#include "conversions.h"
#include "systemFile.h"

namespace files {
namespace {

namespace fs = std::filesystem;
using os::Native;
using os::noFile;
using Kind = os::Target::Kind;

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
    bool close() { return !isOpen() || os::close(std::exchange(native_, noFile)); }
    bool endWriting() { return os::endWriting(native_); }
    Native release() { return std::exchange(native_, noFile); }

private:
    Native native_;
};

// A scratch beside the file: the first of `.NAME.0.tmp`, `.NAME.1.tmp`, ... that the
// exclusive create can make. Only writes under way, or left by a crash, hold a name.
constexpr int scratchNames = 64;
// A write takes milliseconds: a scratch this much older was left by a crash.
constexpr auto leftoverAge = std::chrono::minutes(1);

fs::path scratchName(const fs::path& target, int number)
{
    fs::path name = ".";
    name += target.filename().native();
    name += ".";
    name += std::to_string(number);
    name += ".tmp";
    return target.parent_path() / name;
}

// Removes the scratch files that crashes left beside the target; never a younger
// one, which a write under way in another process may be using.
void removeLeftovers(const fs::path& target)
{
    const auto now = fs::file_time_type::clock::now();
    for (int number = 0; number < scratchNames; ++number) {
        const fs::path name = scratchName(target, number);
        std::error_code error;
        if (!fs::is_regular_file(fs::symlink_status(name, error)))
            continue;
        const auto written = fs::last_write_time(name, error);
        if (!error && now - written > leftoverAge)
            os::remove(name);
    }
}

// Nothing is looked at while the first name is free; the first taken name clears
// the leftovers once, and is tried again.
Native createScratch(const fs::path& target, fs::path& scratch, std::string& reason)
{
    bool cleared = false;
    for (int number = 0; number < scratchNames; ++number) {
        scratch = scratchName(target, number);
        const Native file = os::createNew(scratch, target);
        if (file != noFile)
            return file;
        if (!os::nameTaken(scratch)) {
            reason = os::lastError();
            return noFile;
        }
        if (!cleared) {
            cleared = true;
            removeLeftovers(target);
            --number; // the same name again
        }
    }
    reason = "every scratch name is taken (" + utf8FromPath(scratchName(target, 0).filename()) + " to ." +
             std::to_string(scratchNames - 1) + ".tmp), none for more than a minute";
    return noFile;
}

// Writes and syncs; `cut`: ends the file where the bytes end. The system's words for
// the first failure, or nothing.
std::string fill(Handle& file, std::string_view bytes, bool cut, Durability durability)
{
    if (!os::writeAll(file.get(), bytes) || (cut && !os::cutHere(file.get())) ||
        (durability == Durability::OnDisk && !os::syncToDisk(file.get())))
        return os::lastError();
    return {};
}

} // namespace

FileRead readWholeFile(const fs::path& path, std::size_t limit)
{
    const os::Target target = os::findTarget(path);
    if (target.kind == Kind::Missing)
        return {FileRead::Outcome::Missing, {}, {}};
    if (target.kind == Kind::Other)
        return {FileRead::Outcome::NotRegular, {}, {}};
    Handle file(os::openForReading(target.path));
    std::uint64_t size = 0;
    if (!file.isOpen())
        return {FileRead::Outcome::Failed, {}, os::lastError()};
    if (!os::regularSize(file.get(), size))
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
        const long long read = os::readSome(file.get(), bytes.data() + filled, bytes.size() - filled);
        if (read < 0)
            return {FileRead::Outcome::Failed, {}, os::lastError()};
        if (read == 0)
            break;
        filled += static_cast<std::size_t>(read);
    }
    bytes.resize(filled);
    return {FileRead::Outcome::Read, std::move(bytes), {}};
}

FileWrite replaceWholeFile(const fs::path& path, std::string_view bytes, Durability durability)
{
    const os::Target target = os::findTarget(path);
    if (target.kind == Kind::Other)
        return {FileWrite::Outcome::NotRegular, {}};
    fs::path scratchPath;
    std::string reason;
    Handle scratch(createScratch(target.path, scratchPath, reason));
    if (!scratch.isOpen())
        return {FileWrite::Outcome::NoScratch, std::move(reason)};
    reason = fill(scratch, bytes, false, durability);
    if (reason.empty() && !scratch.endWriting())
        reason = os::lastError();
    if (!reason.empty()) {
        os::discard(scratch.release(), scratchPath);
        return {FileWrite::Outcome::NotWritten, std::move(reason)};
    }
    if (!os::move(scratch.get(), scratchPath, target.path, durability)) {
        reason = os::lastError();
        os::discard(scratch.release(), scratchPath);
        return {FileWrite::Outcome::NotMoved, std::move(reason)};
    }
    return {FileWrite::Outcome::Written, {}};
}

FileWrite overwriteWholeFile(const fs::path& path, std::string_view bytes)
{
    const os::Target target = os::findTarget(path);
    if (target.kind == Kind::Other)
        return {FileWrite::Outcome::NotRegular, {}};
    Handle file(os::openInPlace(target.path));
    std::uint64_t size = 0;
    if (!file.isOpen())
        return {FileWrite::Outcome::NotWritten, os::lastError()};
    if (!os::regularSize(file.get(), size))
        return {FileWrite::Outcome::NotRegular, {}}; // something else took its place since
    // Cut only a file that shrinks: some systems (Wine) show a zero byte at the end
    // while they cut, even to the same length.
    std::string reason = fill(file, bytes, bytes.size() < size, Durability::Cached);
    if (!file.close() && reason.empty())
        reason = os::lastError();
    if (!reason.empty())
        return {FileWrite::Outcome::NotWritten, std::move(reason)};
    return {FileWrite::Outcome::Written, {}};
}

} // namespace files
