// The module quillfort-sim plays when no --plugin names one: this repository's
// plugin, built beside it. Nothing else of that plugin is known here; what a run
// needs of a module (its name, its settings page) comes from its record.
#pragma once

#include <filesystem>

namespace qsim {

// The module's file name, as the build makes it.
inline std::filesystem::path pluginFile() { return QSIM_PLUGIN_FILE; }

} // namespace qsim
