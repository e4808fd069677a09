#include "checkedFiles.h"

#include <algorithm>
#include <string_view>
#include <vector>

#include "conversions.h"
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

namespace {

bool sameButCase(std::string_view a, std::string_view b)
{
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return lower(x) == lower(y); });
}

} // namespace

bool spelledAsGiven(const std::filesystem::path& folder, const std::string& relative, std::string& other)
{
    std::filesystem::path at = folder;
    for (std::size_t start = 0; start <= relative.size();) {
        const std::size_t end = std::min(relative.find('/', start), relative.size());
        const std::string part = relative.substr(start, end - start);
        std::vector<std::filesystem::path> names;
        if (!files::listFolder(at, names).empty())
            return true;
        bool found = false;
        std::string differing;
        for (const auto& name : names) {
            const std::string spelled = files::utf8FromPath(name.filename());
            found = found || spelled == part;
            if (spelled != part && sameButCase(spelled, part))
                differing = spelled;
        }
        if (!found) {
            other = differing;
            return differing.empty();
        }
        at /= files::pathFromUtf8(part);
        start = end + 1;
    }
    return true;
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
