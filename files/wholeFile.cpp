// What to replace and how; the system's calls are behind systemFile.h.
#include "wholeFile.h"

#include <algorithm>
#include <chrono>
#include <optional>
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
    os::Moved moveOver(const fs::path& from, const fs::path& to, Durability durability)
    {
        return os::move(native_, from, to, durability);
    }
    Native release() { return std::exchange(native_, noFile); }

private:
    Native native_;
};

// A scratch beside the file: the first of `.NAME.0.tmp`, `.NAME.1.tmp`, ... that the
// exclusive create can make. Only writes under way, or left by a crash, hold a name.
constexpr int scratchNames = 64;
// A write takes milliseconds: a scratch this much older was left by a crash.
constexpr auto leftoverAge = std::chrono::minutes(1);
// Some file systems keep times to two seconds (FAT): a scratch being written may
// seem dated that far ahead. One dated further ahead belongs to no write under way.
constexpr auto clockSlack = std::chrono::seconds(2);

fs::path scratchName(const fs::path& target, int number)
{
    fs::path name = ".";
    name += target.filename().native();
    name += ".";
    name += std::to_string(number);
    name += ".tmp";
    return target.parent_path() / name;
}

// What kept the scratch names taken after a clearing, in words: the first thing
// that stands in the way, or nothing when only younger scratches do.
std::string clearScratches(const fs::path& target)
{
    Native lock = noFile;
    if (!os::lockForClearing(target.parent_path(), lock))
        return "the leftovers cannot be cleared now: " + os::lastError();
    const Handle locked(lock);
    std::string obstacle;
    const auto note = [&](const fs::path& name, const std::string& what) {
        if (obstacle.empty())
            obstacle = utf8FromPath(name.filename()) + what;
    };
    for (int number = 0; number < scratchNames; ++number) {
        const fs::path name = scratchName(target, number);
        const os::Found found = os::findLeftover(name);
        const Handle held(found.file);
        if (found.kind == Kind::Unknown)
            note(name, " cannot be looked at: " + os::lastError());
        else if (found.kind == Kind::Other)
            note(name, " is not a regular file");
        else if (found.kind == Kind::Regular && (found.age > leftoverAge || found.age < -clockSlack) &&
                 !os::removeLeftover(found.file, name))
            note(name, " cannot be removed: " + os::lastError());
    }
    return obstacle;
}

// Nothing is looked at while the first name is free; the first taken name clears
// the leftovers once, and is tried again.
Native createScratch(const os::Target& target, fs::path& scratch, std::string& reason)
{
    std::optional<std::string> obstacle;
    for (int number = 0; number < scratchNames; ++number) {
        scratch = scratchName(target.path, number);
        const Native file = os::createNew(scratch, target);
        if (file != noFile)
            return file;
        if (!os::nameTaken(scratch)) {
            reason = os::lastError();
            return noFile;
        }
        if (!obstacle) {
            obstacle = clearScratches(target.path);
            --number; // the same name again
        }
    }
    reason = "every scratch name is taken (" + utf8FromPath(scratchName(target.path, 0).filename()) +
             " to ." + std::to_string(scratchNames - 1) + ".tmp)" +
             (obstacle->empty() ? ", none for more than a minute" : ": " + *obstacle);
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

std::string FileRead::says() const
{
    switch (outcome) {
    case Outcome::Read: break;
    case Outcome::Missing: return "no such file";
    case Outcome::NotRegular: return notRegularFile;
    case Outcome::TooLarge: return "larger than " + sizeText(limit);
    case Outcome::Failed: return reason;
    }
    return "";
}

FileRead readWholeFile(const fs::path& path, std::size_t limit)
{
    const auto outcome = [limit](FileRead::Outcome what, std::string reason = {}) {
        return FileRead{what, {}, std::move(reason), limit};
    };
    const os::Target target = os::findTarget(path);
    if (target.kind == Kind::Missing)
        return outcome(FileRead::Outcome::Missing);
    if (target.kind == Kind::Other)
        return outcome(FileRead::Outcome::NotRegular);
    Handle file(os::openForReading(target.path));
    std::uint64_t size = 0;
    if (!file.isOpen())
        return outcome(FileRead::Outcome::Failed, os::lastError());
    if (!os::regularSize(file.get(), size))
        return outcome(FileRead::Outcome::NotRegular);
    if (size > limit)
        return outcome(FileRead::Outcome::TooLarge);
    // One byte more than the limit tells a file that grew past it since.
    std::string bytes(static_cast<std::size_t>(std::min<std::uint64_t>(limit + 1, size + 4096)), '\0');
    std::size_t filled = 0;
    for (;;) {
        if (filled == bytes.size()) {
            if (filled > limit)
                return outcome(FileRead::Outcome::TooLarge);
            bytes.resize(std::min(limit + 1, bytes.size() * 2));
        }
        const long long read = os::readSome(file.get(), bytes.data() + filled, bytes.size() - filled);
        if (read < 0)
            return outcome(FileRead::Outcome::Failed, os::lastError());
        if (read == 0)
            break;
        filled += static_cast<std::size_t>(read);
    }
    bytes.resize(filled);
    return {FileRead::Outcome::Read, std::move(bytes), {}, limit};
}

namespace {

FileWrite replaceTarget(const os::Target& target, std::string_view bytes, Durability durability)
{
    if (target.kind == Kind::Other)
        return {FileWrite::Outcome::NotRegular, {}};
    fs::path scratchPath;
    std::string reason;
    Handle scratch(createScratch(target, scratchPath, reason));
    if (!scratch.isOpen())
        return {FileWrite::Outcome::NoScratch, std::move(reason)};
    reason = fill(scratch, bytes, false, durability);
    if (reason.empty() && !scratch.endWriting())
        reason = os::lastError();
    if (!reason.empty()) {
        os::discard(scratch.release(), scratchPath);
        return {FileWrite::Outcome::NotWritten, std::move(reason)};
    }
    switch (scratch.moveOver(scratchPath, target.path, durability)) {
    case os::Moved::Done: return {FileWrite::Outcome::Written, {}};
    case os::Moved::NotOnDisk: return {FileWrite::Outcome::NotOnDisk, os::lastError()};
    case os::Moved::Refused: break;
    }
    reason = os::lastError();
    os::discard(scratch.release(), scratchPath);
    return {FileWrite::Outcome::NotMoved, std::move(reason)};
}

FileWrite overwriteTarget(const os::Target& target, std::string_view bytes)
{
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

} // namespace

FileWrite replaceWholeFile(const fs::path& path, std::string_view bytes, Durability durability)
{
    return replaceTarget(os::findTarget(path), bytes, durability);
}

FileWrite overwriteWholeFile(const fs::path& path, std::string_view bytes)
{
    return overwriteTarget(os::findTarget(path), bytes);
}

FileWrite updatePolledFile(const fs::path& path, std::string_view bytes, WhenHeld whenHeld)
{
    const os::Target target = os::findTarget(path);
    FileWrite written = replaceTarget(target, bytes, Durability::Cached);
    const bool cannotReplace =
        written.outcome == FileWrite::Outcome::NoScratch || written.outcome == FileWrite::Outcome::NotMoved;
    // A holder that refuses the move may let go by the next try; a refusal for good will not.
    const bool waitForHolder = written.outcome == FileWrite::Outcome::NotMoved &&
                               os::heldFilesRefuseMoves() && whenHeld == WhenHeld::Wait;
    if (cannotReplace && !waitForHolder)
        written = overwriteTarget(target, bytes);
    return written;
}

void clearLeftovers(const fs::path& path) { clearScratches(os::findTarget(path).path); }

} // namespace files
