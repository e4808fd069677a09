// The file helper on its own: every system call that can fail on the way of a
// replacement, an in-place write or a read fails on purpose, on every platform;
// scratch copies that crashes left are judged by age and kind; readers that poll.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <optional>
#include <span>
#include <string>

#include "folders.h"
#include "support/pollingReader.h"
#include "support/session.h"
#include "systemFile.h"
#include "wholeFile.h"

using files::FileRead;
using files::FileWrite;
using support::Fault;
using support::Injected;
using Outcome = FileWrite::Outcome;
namespace fs = std::filesystem;

namespace {

struct Folder {
    qsim::DataFolder data;
    fs::path file = data.path() / "figures.txt";
};

// Where the system reports a lost write only at closing, the replacement sees it;
// on Windows the new file is closed only once it is in place.
// Windows looks at a file's kind by its name once before opening it, and again
// once it is open: a file that turns into another kind in between is still seen.
// A refused move is taken for a program holding the file where that refuses moves.
#if defined(_WIN32)
constexpr Outcome closeOfNewFile = Outcome::Written;
constexpr int looksBeforeOpening = 1;
#else
constexpr Outcome closeOfNewFile = Outcome::NotWritten;
constexpr int looksBeforeOpening = 0;
#endif
constexpr Outcome movedRefused = support::holdersRefuseMoves ? Outcome::Held : Outcome::NotMoved;

} // namespace

// Each failure on the way leaves the old file as it was, or the whole new one in
// its place, no scratch copy behind, and the system's words for it.
TEST(WholeFile, ReplacementThatFailsKeepsTheFileAndLeavesNoScratch)
{
    const struct {
        Fault fault;
        Outcome outcome;
    } rows[] = {
        {Fault::CreateRefused, Outcome::NoScratch}, {Fault::WriteFull, Outcome::NotWritten},
        {Fault::SyncFull, Outcome::NotWritten},     {Fault::CloseFails, closeOfNewFile},
        {Fault::MoveRefused, movedRefused},         {Fault::FolderSyncFails, Outcome::NotOnDisk},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(static_cast<int>(row.fault));
        Folder folder;
        support::writeFile(folder.file, "old");
        Injected fault(support::ownCalls(), row.fault);
        const FileWrite written = files::replaceWholeFile(folder.file, "new", files::Durability::OnDisk);
        EXPECT_EQ(written.outcome, row.outcome);
        EXPECT_EQ(written.reason, row.outcome == Outcome::Written ? ""
                                  : row.outcome == Outcome::Held  ? "another program has the file open"
                                                                  : fault.says());
        const bool replaced = row.outcome == Outcome::Written || row.outcome == Outcome::NotOnDisk;
        EXPECT_EQ(support::readFile(folder.file), replaced ? "new" : "old");
        EXPECT_EQ(support::scratchesIn(folder.data.path()), std::vector<std::string>{});
    }
}

namespace {

// An in-place write that fails: what it reports and what it leaves.
struct InPlaceRow {
    Fault fault;
    int passFirst;
    const std::string& bytes;
    Outcome outcome;
    const std::string& left;
    bool putBackFails = false; // the fault meets the old bytes' write too
};

const std::string oldFigures = "longer old figures";
const std::string shorterFigures = "new figures";

void checkInPlaceWrites(std::span<const InPlaceRow> rows)
{
    for (const auto& row : rows) {
        SCOPED_TRACE(std::to_string(static_cast<int>(row.fault)) + " after " + std::to_string(row.passFirst) +
                     ", writing '" + row.bytes + "'");
        Folder folder;
        support::writeFile(folder.file, oldFigures);
        Injected fault(support::ownCalls(), row.fault, row.passFirst);
        const FileWrite written = files::overwriteWholeFile(folder.file, row.bytes);
        EXPECT_EQ(written.outcome, row.outcome);
        std::string why = row.outcome == Outcome::NotWritten ? fault.says() : "";
        if (row.putBackFails)
            why += ", and the old text could not be put back: " + fault.says();
        EXPECT_EQ(written.reason, why);
        EXPECT_EQ(support::readFile(folder.file), row.left);
    }
}

} // namespace

// Written in place: every failure says why, and one after the first byte puts the
// old bytes back; a handle that is no disk file, also one that was a regular file
// when it was looked at by name, is never written. Only a shorter text is cut.
TEST(WholeFile, InPlaceWriteThatFailsSaysWhyAndKeepsTheOldText)
{
    const std::string& old = oldFigures;
    const std::string& shorter = shorterFigures;
    const std::string sameLength = "same-length figure";
    const InPlaceRow rows[] = {
        {Fault::ReadFails, 0, shorter, Outcome::NotWritten, old},
        {Fault::WriteFull, 0, shorter, Outcome::NotWritten, old, true},
        {Fault::CutFull, 0, shorter, Outcome::NotWritten, old},
        {Fault::CutFull, 0, sameLength, Outcome::Written, sameLength},
        {Fault::CloseFails, 0, shorter, Outcome::NotWritten, shorter}, // after the bytes
        {Fault::NotADiskFile, 0, shorter, Outcome::NotRegular, old},
        {Fault::NotADiskFile, looksBeforeOpening, shorter, Outcome::NotRegular, old},
    };
    checkInPlaceWrites(rows);
}

#if defined(_WIN32)
// Wine answers the opening of a Unix socket by its name with "no such device".
TEST(WholeFile, InPlaceWriteToASocketIsRefused)
{
    const InPlaceRow rows[] = {{Fault::NoSuchDevice, 0, shorterFigures, Outcome::NotRegular, oldFigures}};
    checkInPlaceWrites(rows);
}
#endif

// A read that fails, at once or after a part, is an error, never the end of the
// file; a file that is no disk file, by its name or once open, is not read.
TEST(WholeFile, ReadThatFailsIsNeverTakenForTheEnd)
{
    const struct {
        Fault fault;
        int passFirst;
        FileRead::Outcome outcome;
    } rows[] = {
        {Fault::ReadFails, 0, FileRead::Outcome::Failed},
        {Fault::ReadFails, 1, FileRead::Outcome::Failed},
        {Fault::NotADiskFile, 0, FileRead::Outcome::NotRegular},
        {Fault::NotADiskFile, looksBeforeOpening, FileRead::Outcome::NotRegular},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::to_string(static_cast<int>(row.fault)) + " after " + std::to_string(row.passFirst));
        Folder folder;
        support::writeFile(folder.file, "figures");
        Injected fault(support::ownCalls(), row.fault, row.passFirst, folder.file);
        const FileRead read = files::readWholeFile(folder.file, 1024);
        EXPECT_EQ(read.outcome, row.outcome);
        EXPECT_EQ(read.reason, row.outcome == FileRead::Outcome::Failed ? fault.says() : "");
        EXPECT_EQ(read.bytes, "");
    }
}

namespace {

struct ScratchRow {
    Fault fault;
    int young; // scratch copies younger than a minute
    std::string reason;
};

const std::string allScratchNamesTaken =
    "every scratch name is taken (.figures.txt.0.tmp to .63.tmp), none for more than a minute";

void checkScratchRefusals(std::span<const ScratchRow> rows)
{
    for (const auto& row : rows) {
        SCOPED_TRACE(static_cast<int>(row.fault));
        Folder folder;
        support::writeFile(folder.file, "old");
        support::leaveScratches(folder.file, row.young, std::chrono::seconds(0));
        Injected fault(support::ownCalls(), row.fault);
        const FileWrite written = files::replaceWholeFile(folder.file, "new", files::Durability::Cached);
        EXPECT_EQ(written.outcome, Outcome::NoScratch);
        EXPECT_EQ(written.reason, row.reason.empty() ? fault.says() : row.reason);
    }
}

} // namespace

// A name taken, whatever the system answers for it, is passed over; a create
// refused for any other reason says so.
TEST(WholeFile, TakenScratchNamesArePassedOverAndARefusalSaysWhy)
{
    const ScratchRow rows[] = {
        {Fault::NameTaken, 0, allScratchNamesTaken}, {Fault::CreateRefused, 0, ""}, // the system's words
    };
    checkScratchRefusals(rows);
}

#if defined(_WIN32)
// Windows answers "access denied" for a name whose file is deleted but still held open.
TEST(WholeFile, ScratchNameOfAFileBeingDeletedIsPassedOver)
{
    const ScratchRow rows[] = {{Fault::NameTakenDenied, 64, allScratchNamesTaken}};
    checkScratchRefusals(rows);
}
#endif

// A file that other programs poll is replaced in one step, and written in place
// only where it cannot be replaced for good, or where a program holding it refuses
// the move (Windows) and has held it long enough; a missing one is created whole.
TEST(WholeFile, PolledFileIsReplacedOrWrittenInPlace)
{
    using files::WhenHeld;
    const bool holdersRefuse = support::holdersRefuseMoves;
    const struct {
        const char* name;
        std::optional<Fault> fault;
        int young; // scratch copies younger than a minute
        bool exists;
        WhenHeld whenHeld;
        bool written;
        bool inPlace;
    } rows[] = {
        {"as it is", std::nullopt, 0, true, WhenHeld::Wait, true, false},
        {"missing", std::nullopt, 0, false, WhenHeld::Wait, true, false},
        {"move refused, waiting for a holder", Fault::MoveRefused, 0, true, WhenHeld::Wait, !holdersRefuse,
         !holdersRefuse},
        {"move refused, held too long", Fault::MoveRefused, 0, true, WhenHeld::WriteInPlace, true, true},
        {"no new file allowed beside it", Fault::CreateRefused, 0, true, WhenHeld::Wait, true, true},
        {"every scratch name in use", std::nullopt, 64, true, WhenHeld::Wait, true, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Folder folder;
        const fs::path before = folder.data.path() / "before";
        if (row.exists) {
            support::writeFile(folder.file, "longer old figures");
            fs::create_hard_link(folder.file, before);
        }
        support::leaveScratches(folder.file, row.young, std::chrono::seconds(0));
        std::optional<Injected> fault;
        if (row.fault)
            fault.emplace(support::ownCalls(), *row.fault);
        // What a reader finds while the bytes are written: the old file, or none yet.
        std::string seen = "nothing";
        support::Meanwhile reader(support::ownCalls(), support::Meanwhile::At::Write, [&] {
            seen = fs::exists(folder.file) ? support::readFile(folder.file) : "no file";
        });
        const FileWrite written = files::updatePolledFile(folder.file, "new figures", row.whenHeld);
        EXPECT_EQ(written.outcome, row.written ? Outcome::Written : movedRefused);
        EXPECT_EQ(seen, row.exists ? "longer old figures" : "no file");
        EXPECT_EQ(support::readFile(folder.file), row.written ? "new figures" : "longer old figures");
        if (row.exists) { // a link to the old file shows whether it was written over
            EXPECT_EQ(support::readFile(before), row.inPlace ? "new figures" : "longer old figures");
        }
        EXPECT_EQ(support::scratchesIn(folder.data.path()).size(), static_cast<std::size_t>(row.young));
    }
}

namespace {

// Texts that say their own length ("24|figures 000007 ..."), so that a reader can
// tell a whole one from one cut short or followed by the end of a longer one.
std::string sizedText(int number, std::size_t padding)
{
    char figures[32];
    std::snprintf(figures, sizeof figures, "|figures %06d ", number);
    const std::string body = figures + std::string(padding, '.');
    std::size_t size = body.size() + 1;
    while (std::to_string(size).size() + body.size() != size)
        ++size;
    return std::to_string(size) + body;
}

// The length a sized text gives at its start, with that start; 0 when there is none.
std::size_t sizeGiven(std::string_view seen)
{
    std::size_t size = 0;
    const std::size_t digits = seen.find('|');
    if (digits == 0 || digits == std::string_view::npos || digits > 9)
        return 0;
    for (const char digit : seen.substr(0, digits)) {
        if (digit < '0' || digit > '9')
            return 0;
        size = size * 10 + static_cast<std::size_t>(digit - '0');
    }
    return size;
}

} // namespace

// Readers polling a file while it is updated many times, whatever they share
// beyond reading and writing. Replaced, it is only ever whole, and a reader that
// shares deletion is never turned away (one that does not may be, only while the
// move is under way on Windows); an update that a reader's open refuses waits for
// the next try. Written in place, no reader is turned away nor finds it empty, and
// each read is whole or, when the text got shorter, followed by the old end (or, as
// the system cuts it, zero bytes in its place, which Linux shows for a moment).
// Both sides run until each has met the other at work.
TEST(WholeFile, ReadersPollingAnUpdatedFileFindWholeTexts)
{
    using Shares = support::PollingReader::Shares;
    for (const bool inPlace : {false, true}) {
        for (const Shares shares : {Shares::ReadWrite, Shares::ReadWriteDelete}) {
            SCOPED_TRACE(std::string(inPlace ? "in place" : "replaced") +
                         (shares == Shares::ReadWrite ? ", reader sharing reading and writing"
                                                      : ", reader sharing everything"));
            // Longer and shorter by turns where the file is replaced; never longer in
            // place, where a system may show a longer text cut at the old length (Wine).
            const auto text = [&](int write) {
                const int padding = inPlace ? std::max(0, 1000 - write) : write % 10 * 7;
                return sizedText(write, static_cast<std::size_t>(padding));
            };
            const auto whole = [inPlace](std::string_view seen) {
                const std::size_t size = sizeGiven(seen);
                return size > 0 && (seen.size() == size || (inPlace && seen.size() > size));
            };
            Folder folder;
            std::optional<Injected> refused;
            if (inPlace)
                refused.emplace(support::ownCalls(), Fault::MoveRefused);
            const auto whenHeld = inPlace ? files::WhenHeld::WriteInPlace : files::WhenHeld::Wait;
            ASSERT_TRUE(files::updatePolledFile(folder.file, text(0), whenHeld).written());
            support::PollingReader reader(folder.file, shares, whole);
            reader.waitForReads(1);
            const int before = reader.reads();
            for (int writes = 1; writes < 400 || !reader.hasRead(before, 400); ++writes) {
                const FileWrite written = files::updatePolledFile(folder.file, text(writes), whenHeld);
                if (!written.written()) { // the reader held the file: the next update goes
                    ASSERT_EQ(written.outcome, Outcome::Held) << written.says();
                    ASSERT_TRUE(!inPlace && support::holdersRefuseMoves);
                }
            }
            reader.stop();
            const std::string of = " of " + std::to_string(reader.reads()) + " reads";
            EXPECT_EQ(reader.failed(), 0) << of;
            EXPECT_EQ(reader.torn, 0) << of;
            EXPECT_EQ(reader.empty + (inPlace ? 0 : reader.zeros), 0) << of;
            if (inPlace || shares == Shares::ReadWriteDelete || !support::holdersRefuseMoves) {
                EXPECT_EQ(reader.refused, 0) << of;
            }
        }
    }
}

namespace {

// Scratch copies beside a file as crashes leave them: how many from which number,
// how old, how many a replacement leaves, and how many a clearing leaves.
struct Leftovers {
    const char* name;
    int first, count;
    std::chrono::seconds age;
    std::size_t keptByWrite;
    std::size_t keptByClearing;
};
constexpr Leftovers leftovers[] = {
    {"64 left an hour ago", 0, 64, std::chrono::hours(1), 0, 0},
    {"64 dated an hour ahead (a clock set back)", 0, 64, -std::chrono::hours(1), 0, 0},
    {"one younger, in use", 0, 1, std::chrono::seconds(0), 1, 1},
    {"64 younger, in use", 0, 64, std::chrono::seconds(0), 64, 64},
    {"8 at .1 to .8 left an hour ago, the first name free", 1, 8, std::chrono::hours(1), 8, 0},
};

} // namespace

// A write looks at leftovers only when it finds its first name taken; then it
// clears every one older than a minute or dated ahead, never a younger one. A
// clearing on its own (at load) does the same at every name.
TEST(WholeFile, LeftoversAreClearedByAgeAndYoungerScratchesKept)
{
    for (const auto& row : leftovers) {
        SCOPED_TRACE(row.name);
        Folder folder;
        support::writeFile(folder.file, "old");
        const fs::path before = folder.data.path() / "before";
        fs::create_hard_link(folder.file, before);
        support::leaveScratches(folder.file, row.count, row.age, row.first);
        const FileWrite written = files::replaceWholeFile(folder.file, "new", files::Durability::Cached);
        const bool allTaken = row.keptByWrite == 64;
        EXPECT_EQ(written.outcome, allTaken ? Outcome::NoScratch : Outcome::Written);
        if (allTaken) {
            EXPECT_EQ(
                written.reason,
                "every scratch name is taken (.figures.txt.0.tmp to .63.tmp), none for more than a minute");
        }
        EXPECT_EQ(support::readFile(before), "old"); // replaced in one step, or not at all
        EXPECT_EQ(support::scratchesIn(folder.data.path()).size(), row.keptByWrite);
        files::clearLeftovers(folder.file);
        EXPECT_EQ(support::scratchesIn(folder.data.path()).size(), row.keptByClearing);
    }
}

// With every name taken, the reason says what stands in the way.
TEST(WholeFile, LeftoverThatCannotGoIsNamedWhenEveryNameIsTaken)
{
    const std::string taken = "every scratch name is taken (.figures.txt.0.tmp to .63.tmp): ";
    {
        SCOPED_TRACE("removal refused");
        Folder folder;
        support::leaveScratches(folder.file, 64, std::chrono::hours(1));
        Injected refused(support::ownCalls(), Fault::RemoveRefused);
        const FileWrite written = files::replaceWholeFile(folder.file, "new", files::Durability::Cached);
        EXPECT_EQ(written.reason, taken + ".figures.txt.0.tmp cannot be removed: " + refused.says());
        EXPECT_EQ(support::scratchesIn(folder.data.path()).size(), 64u);
    }
    {
        SCOPED_TRACE("a folder at one name, the others younger");
        Folder folder;
        support::leaveScratches(folder.file, 64, std::chrono::seconds(0));
        fs::remove(folder.data.path() / ".figures.txt.5.tmp");
        fs::create_directory(folder.data.path() / ".figures.txt.5.tmp");
        const FileWrite written = files::replaceWholeFile(folder.file, "new", files::Durability::Cached);
        EXPECT_EQ(written.reason, taken + ".figures.txt.5.tmp is not a regular file");
        EXPECT_TRUE(fs::is_directory(folder.data.path() / ".figures.txt.5.tmp"));
    }
}

// Two writers clearing the same folder: the one that judged a leftover old removes
// that file and no other. A second writer that acts between its look and its
// removal can neither clear the leftover away nor make a scratch of its own at
// that name: on POSIX it cannot take the lock, on Windows the judged file is held
// open until it goes.
TEST(WholeFile, ClearingNeverRemovesAScratchMadeAfterItLooked)
{
    Folder folder;
    support::leaveScratches(folder.file, 1, std::chrono::hours(1));
    const fs::path name = folder.data.path() / ".figures.txt.0.tmp";
    bool made = false;
    support::Meanwhile meanwhile(support::ownCalls(), support::Meanwhile::At::Removal, [&] {
        files::clearLeftovers(folder.file); // the other writer
        std::ofstream live(name, std::ios::binary | std::ios::app);
        std::error_code error;
        made = live.is_open() && fs::file_size(name, error) == 0 && !error;
        if (made)
            live << "live";
    });
    files::clearLeftovers(folder.file);
    ASSERT_EQ(meanwhile.ran(), 1);
    EXPECT_FALSE(made) << "the other writer made a scratch at the judged name";
    EXPECT_FALSE(fs::exists(name));
}

// A folder is claimed by one process at a time, whatever name it is reached by;
// another claim reads the holder's note. The claim's file goes with the claim.
TEST(FolderClaim, OneHolderAtATimeByAnyName)
{
    Folder folder;
    const fs::path claims = folder.data.path() / "claims";
    fs::create_directory(claims);
    const fs::path other = folder.data.path() / "other";
#if defined(_WIN32)
    const fs::path sameFolder = folder.data.path() / "CLAIMS"; // another spelling
    const std::size_t entries = 3;                             // the two folders and the claim
#else
    fs::create_directory_symlink(claims, folder.data.path() / "link");
    const fs::path sameFolder = folder.data.path() / "link";
    const std::size_t entries = 4; // the two folders, the link and the claim
#endif
    fs::create_directory(other);
    {
        const files::FolderClaim first(claims, folder.data.path(), "test-", "the first");
        ASSERT_TRUE(first.held()) << first.problem();
        const files::FolderClaim second(sameFolder, folder.data.path(), "test-", "the second");
        EXPECT_FALSE(second.held());
        EXPECT_TRUE(second.byOther());
        EXPECT_EQ(second.otherNote(), "the first");
        const files::FolderClaim elsewhere(other, folder.data.path(), "test-", "another folder's");
        EXPECT_TRUE(elsewhere.held());
    }
    const files::FolderClaim again(sameFolder, folder.data.path(), "test-", "again");
    EXPECT_TRUE(again.held());
    std::vector<fs::path> names;
    files::listFolder(folder.data.path(), names);
    EXPECT_EQ(names.size(), entries);
}

#if !defined(_WIN32)

// A link at the first scratch name beside the file is neither followed nor emptied.
TEST(WholeFile, LinkAtAScratchNameIsNeverFollowed)
{
    Folder folder;
    const fs::path outside = folder.data.path() / "elsewhere.txt";
    support::writeFile(outside, "keep me");
    const fs::path link = folder.data.path() / ".figures.txt.0.tmp";
    fs::create_symlink(outside, link);
    ASSERT_TRUE(files::replaceWholeFile(folder.file, "new", files::Durability::OnDisk).written());
    EXPECT_EQ(support::readFile(outside), "keep me");
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(support::readFile(folder.file), "new");
}

#endif
