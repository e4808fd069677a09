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

// Writes and syncs. The system's words for the first failure, or nothing.
std::string fill(Handle& file, std::string_view bytes, Durability durability)
{
    if (!os::writeAll(file.get(), bytes) || (durability == Durability::OnDisk && !os::syncToDisk(file.get())))
        return os::lastError();
    return {};
}

// How the last call of an in-place write failed: what holds the file, where
// another program does, or the system's words.
FileWrite failedInPlace()
{
    switch (os::holderOfLastError()) {
    case os::Holder::None: break;
    case os::Holder::Open:
        return {FileWrite::Outcome::Held, "another program has the file open and lets no one else write it"};
    case os::Holder::Mapped:
        return {FileWrite::Outcome::Held,
                "another program has the file mapped into memory, which keeps it from getting shorter"};
    }
    return {FileWrite::Outcome::NotWritten, os::lastError()};
}

// The first `count` bytes of an open file (fewer if it ends before), read from its
// start; the next write starts there again.
bool readFront(Native file, std::uint64_t count, std::string& front)
{
    front.assign(static_cast<std::size_t>(count), '\0');
    std::size_t filled = 0;
    while (filled < front.size()) {
        const long long read = os::readSome(file, front.data() + filled, front.size() - filled);
        if (read < 0)
            return false;
        if (read == 0)
            break;
        filled += static_cast<std::size_t>(read);
    }
    front.resize(filled);
    return os::toStart(file);
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
    reason = fill(scratch, bytes, durability);
    if (reason.empty() && !scratch.endWriting())
        reason = os::lastError();
    if (!reason.empty()) {
        os::discard(scratch.release(), scratchPath);
        return {FileWrite::Outcome::NotWritten, std::move(reason)};
    }
    switch (scratch.moveOver(scratchPath, target.path, durability)) {
    case os::Moved::Done: return {FileWrite::Outcome::Written, {}};
    case os::Moved::NotOnDisk: return {FileWrite::Outcome::NotOnDisk, os::lastError()};
    case os::Moved::Held:
        os::discard(scratch.release(), scratchPath);
        return {FileWrite::Outcome::Held, "another program has the file open"};
    case os::Moved::Refused: break;
    }
    reason = os::lastError();
    os::discard(scratch.release(), scratchPath);
    return {FileWrite::Outcome::NotMoved, std::move(reason)};
}

// An in-place write that failed after its first byte: what was held or why it
// failed, once the old bytes are back where they stood.
FileWrite putBack(Handle& file, std::string_view front, bool grew)
{
    FileWrite failed = failedInPlace();
    if (!os::toStart(file.get()) || !os::writeAll(file.get(), front) || (grew && !os::cutHere(file.get())))
        failed = {FileWrite::Outcome::NotWritten,
                  failed.reason + ", and the old text could not be put back: " + os::lastError()};
    return failed;
}

FileWrite overwriteTarget(const os::Target& target, std::string_view bytes)
{
    if (target.kind == Kind::Other)
        return {FileWrite::Outcome::NotRegular, {}};
    Handle file(os::openInPlace(target.path));
    std::uint64_t size = 0;
    if (!file.isOpen())
        return failedInPlace();
    if (!os::regularSize(file.get(), size))
        return {FileWrite::Outcome::NotRegular, {}}; // something else took its place since
    // The bytes about to be written over, to put back if the write cannot be completed.
    std::string front;
    if (!readFront(file.get(), std::min<std::uint64_t>(size, bytes.size()), front))
        return {FileWrite::Outcome::NotWritten, os::lastError()};
    // Cut only a file that shrinks: some systems (Wine) show a zero byte at the end
    // while they cut, even to the same length.
    if (!os::writeAll(file.get(), bytes) || (bytes.size() < size && !os::cutHere(file.get())))
        return putBack(file, front, bytes.size() > size);
    // A failure reported only at closing comes after the new bytes: they stand.
    if (!file.close())
        return {FileWrite::Outcome::NotWritten, os::lastError()};
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
    const bool forGood =
        written.outcome == FileWrite::Outcome::NoScratch || written.outcome == FileWrite::Outcome::NotMoved;
    // A holder may let go by the next try; one that has held the file this long may not.
    const bool heldLong = written.outcome == FileWrite::Outcome::Held && whenHeld == WhenHeld::WriteInPlace;
    if (forGood || heldLong)
        written = overwriteTarget(target, bytes);
    return written;
}

void clearLeftovers(const fs::path& path) { clearScratches(os::findTarget(path).path); }

} // namespace files
