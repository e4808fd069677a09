#include "dataFolder.h"

#include <atomic>
#include <charconv>
#include <chrono>
#include <mutex>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "conversions.h"
#include "folders.h"
#include "words.h"

namespace qsim {
namespace {

constexpr char prefix[] = "quillfort-";
// A run killed outright leaves its folders; once its process is gone and they have
// stood this long, the next run removes them.
constexpr auto staleAge = std::chrono::minutes(10);

// Never destroyed: a process that ends early removes the folders after the
// statics made after its handlers are gone.
std::mutex& guard()
{
    static auto* const mutex = new std::mutex;
    return *mutex;
}
std::set<std::filesystem::path>& live()
{
    static auto* const folders = new std::set<std::filesystem::path>;
    return *folders;
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

// The folders of runs whose process is gone, left unchanged for long.
void removeStaleFolders(const std::filesystem::path& temporary)
{
    std::vector<std::filesystem::path> entries;
    files::listFolder(temporary, entries);
    for (const auto& entry : entries) {
        const long owner = ownerOf(files::utf8FromPath(entry.filename()));
        if (owner == 0 || owner == processId() || processAlive(owner))
            continue;
        const files::Entry folder = files::entryAt(entry, files::Links::AsTheyAre);
        if (folder.kind == files::Entry::Kind::Folder && folder.age > staleAge)
            files::removeTree(entry);
    }
}

// Made, or the reason why not, which ends the run: a data folder is where a session lives.
void make(const std::filesystem::path& folder)
{
    if (const std::string error = files::makeFolders(folder); !error.empty())
        throw std::runtime_error("cannot make the folder " + echoed(files::utf8FromPath(folder)) + ": " +
                                 error);
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
    make(path_);
    const std::lock_guard lock(guard());
    live().insert(path_);
}

DataFolder::DataFolder(std::filesystem::path folder) : path_(std::move(folder)), temporary_(false)
{
    make(path_);
}

DataFolder::~DataFolder()
{
    if (!temporary_)
        return;
    files::removeTree(path_);
    const std::lock_guard lock(guard());
    live().erase(path_);
}

void removeTemporaryFolders()
{
    // The main thread, held still, may hold the lock: a moment's wait, not for ever.
    std::unique_lock lock(guard(), std::defer_lock);
    for (int tries = 0; tries < 100 && !lock.try_lock(); ++tries)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    for (const auto& folder : live())
        files::removeTree(folder); // the run may still be writing into it: emptied until it is gone
}

} // namespace qsim
