// A host data folder for a simulated session: a given folder, or a fresh
// temporary one that is removed with everything in it.
#pragma once

#include <filesystem>

namespace qsim {

class DataFolder {
public:
    // A fresh folder under the system's temporary folder.
    DataFolder();
    // The given folder, created when missing and kept afterwards.
    explicit DataFolder(std::filesystem::path folder);
    ~DataFolder();
    DataFolder(const DataFolder&) = delete;
    DataFolder& operator=(const DataFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
    bool temporary_;
};

} // namespace qsim
