#include "checkedFiles.h"

#include "wholeFile.h"

namespace qsim {

namespace {
// Far above any file a plugin writes for others to read.
constexpr std::size_t checkLimit = std::size_t{16} << 20;
} // namespace

CheckedFile readChecked(const std::filesystem::path& path)
{
    std::error_code ignored;
    if (std::filesystem::is_directory(path, ignored))
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
    std::error_code error;
    const auto status = std::filesystem::symlink_status(path, error);
    switch (status.type()) {
    case std::filesystem::file_type::not_found: return "";
    case std::filesystem::file_type::symlink: return "a link";
    case std::filesystem::file_type::directory: return "a folder";
    case std::filesystem::file_type::none: return "an entry it cannot look at: " + error.message();
    default: return "a file";
    }
}

} // namespace qsim
