#include "checkedFiles.h"

#include "folders.h"
#include "wholeFile.h"

namespace qsim {

namespace {
// Far above any file a plugin writes for others to read.
constexpr std::size_t checkLimit = std::size_t{16} << 20;
} // namespace

CheckedFile readChecked(const std::filesystem::path& path)
{
    if (files::entryAt(path, files::Links::Followed).kind == files::Entry::Kind::Folder)
        return {std::nullopt, "a folder"};
    files::FileRead read = files::readWholeFile(path, checkLimit);
    switch (read.outcome) {
    case files::FileRead::Outcome::Read: return {std::move(read.bytes), {}};
    case files::FileRead::Outcome::Missing: return {std::nullopt, read.says()};
    case files::FileRead::Outcome::NotRegular:
        return {std::nullopt, "an entry that is " + read.says() + " (a pipe, a device or a socket)"};
    case files::FileRead::Outcome::TooLarge: return {std::nullopt, "a file " + read.says()};
    case files::FileRead::Outcome::Failed: break;
    }
    return {std::nullopt, "a file that cannot be read: " + read.says()};
}

std::string entryAt(const std::filesystem::path& path)
{
    const files::Entry entry = files::entryAt(path, files::Links::AsTheyAre);
    switch (entry.kind) {
    case files::Entry::Kind::Missing: return "";
    case files::Entry::Kind::Link: return "a link";
    case files::Entry::Kind::Folder: return "a folder";
    case files::Entry::Kind::Unknown: return "an entry it cannot look at: " + entry.reason;
    case files::Entry::Kind::File:
    case files::Entry::Kind::Other: break;
    }
    return "a file";
}

} // namespace qsim
