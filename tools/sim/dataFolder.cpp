#include "dataFolder.h"

#include <atomic>
#include <charconv>
#include <chrono>
#include <mutex>
#include <set>
#include <string>

namespace qsim {
namespace {

constexpr char prefix[] = "quillfort-";
// A run killed outright leaves its folders; once its process is gone and they have
// stood this long, the next run removes them.
constexpr auto staleAge = std::chrono::minutes(10);

std::mutex& guard()
{
    static std::mutex mutex;
    return mutex;
}
std::set<std::filesystem::path>& live()
{
    static std::set<std::filesystem::path> folders;
    return folders;
}

// The process a folder name of ours gives (`quillfort-PID-...`), or 0.
long ownerOf(const std::string& name)
{
    long id = 0;
    if (!name.starts_with(prefix))
        return 0;
    const char* begin = name.data() + std::size(prefix) - 1;
    const auto [end, error] = std::from_chars(begin, name.data() + name.size(), id);
    return error == std::errc{} && end != begin && *end == '-' ? id : 0;
}

void removeStaleFolders(const std::filesystem::path& temporary)
{
    std::error_code error;
    const auto now = std::filesystem::file_time_type::clock::now();
    for (const auto& entry : std::filesystem::directory_iterator(temporary, error)) {
        const long owner = ownerOf(entry.path().filename().string());
        if (owner == 0 || owner == processId() || processAlive(owner))
            continue;
        std::error_code ignored;
        const auto written = std::filesystem::last_write_time(entry.path(), ignored);
        if (!ignored && now - written > staleAge)
            std::filesystem::remove_all(entry.path(), ignored);
    }
}

} // namespace

DataFolder::DataFolder() : temporary_(true)
{
    static std::atomic<unsigned> counter{0};
    static std::once_flag cleared;
    const auto temporary = std::filesystem::temp_directory_path();
    std::call_once(cleared, [&] { removeStaleFolders(temporary); });
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    path_ = temporary / (prefix + std::to_string(processId()) + "-" + std::to_string(stamp) + "-" +
                         std::to_string(counter++));
    std::filesystem::create_directories(path_);
    const std::lock_guard lock(guard());
    live().insert(path_);
}

DataFolder::DataFolder(std::filesystem::path folder) : path_(std::move(folder)), temporary_(false)
{
    std::filesystem::create_directories(path_);
}

DataFolder::~DataFolder()
{
    if (!temporary_)
        return;
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
    const std::lock_guard lock(guard());
    live().erase(path_);
}

void removeTemporaryFolders()
{
    const std::lock_guard lock(guard());
    for (const auto& folder : live()) {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }
}

} // namespace qsim
