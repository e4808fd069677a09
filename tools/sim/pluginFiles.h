// What quillfort-sim knows of the plugin it plays: its module, and the files of
// it that scenarios and the interactive mode name. The host it simulates knows none.
#pragma once

#include <filesystem>
#include <string>

#include "names.h"

namespace qsim {

// The module's file name, as the build makes it.
inline std::filesystem::path pluginFile() { return QSIM_PLUGIN_FILE; }

// The settings page (`page`, `nopage`) and the file the interactive mode shows,
// relative to the data folder, with '/' between the parts (files::pathInFolder
// joins them with the platform's separator).
inline std::string settingsPagePath()
{
    return std::string(names::settingsFolder) + "/" + names::settingsPage;
}
inline std::string settingsPageName() { return names::settingsPage; }
inline std::string statsFile() { return names::statsFile; }

} // namespace qsim
