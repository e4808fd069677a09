#include "dataFolder.h"

#include <atomic>
#include <chrono>
#include <string>

namespace qsim {

DataFolder::DataFolder() : temporary_(true)
{
    static std::atomic<unsigned> counter{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    path_ = std::filesystem::temp_directory_path() /
            ("quillfort-data-" + std::to_string(stamp) + "-" + std::to_string(counter++));
    std::filesystem::create_directories(path_);
}

DataFolder::DataFolder(std::filesystem::path folder) : path_(std::move(folder)), temporary_(false)
{
    std::filesystem::create_directories(path_);
}

DataFolder::~DataFolder()
{
    std::error_code ignored;
    if (temporary_)
        std::filesystem::remove_all(path_, ignored);
}

} // namespace qsim
