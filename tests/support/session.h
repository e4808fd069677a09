// Shared fixtures: a throwaway data folder and a simulated host with the real
// plugin module loaded into it.
#pragma once

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "conversions.h"
#include "dataFolder.h"
#include "host.h"
#include "loader.h"
#include "quillfort/desktop.h"
#include "tarnuPlugin.h"

namespace support {

std::string readFile(const std::filesystem::path& path);
void writeFile(const std::filesystem::path& path, const std::string& bytes);
std::string utf8(const std::filesystem::path& path);
std::filesystem::path pluginPath();
std::vector<std::string> words(const std::string& line);
inline bool has(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}
// The desktop the plugin measures at load: on Windows the real one, elsewhere
// the stand-in's (1920 x 1080 unless a session asked for another).
RECT measuredDesktop();

class Session {
public:
    explicit Session(int width = simhost::defaultDesktop.width, int height = simhost::defaultDesktop.height);

    void load();
    void unload() { module.reset(); }
    tarnuPlugin& plugin();
    // Runs a console line as a player types it and fails the test if the host refuses it.
    void console(const std::string& line);
    std::filesystem::path statsPath() const { return data.path() / "WinsLossesStats.txt"; }
    std::filesystem::path pagePath() const
    {
        return data.path() / "plugins" / "settings" / "tarnuplugin.set";
    }
    std::string stats() const { return readFile(statsPath()); }
    // A whole match: start, kickoff, the goals in order, then the end.
    void playMatch(const std::vector<int>& goals, simhost::Place place = simhost::Place::OnlinePublic,
                   int playlist = simhost::defaultPlaylist, int team = 0);

    simhost::Host host;
    qsim::DataFolder data;
    std::unique_ptr<simhost::PluginModule> module;
};

// Scratch copies as crashes leave them beside `target` (`.NAME.0.tmp` and on),
// last written `age` ago.
void leaveScratches(const std::filesystem::path& target, int count, std::chrono::seconds age);
// Scratch copies beside a file as the tests of both files lay them out: how many,
// how old, how many a write leaves (those that may be a write's under way), and
// whether the file is still replaced in one step.
struct Leftovers {
    const char* name;
    int count;
    std::chrono::seconds age;
    std::size_t kept;
    bool replaced;
};
inline constexpr Leftovers leftovers[] = {
    {"64 left an hour ago", 64, std::chrono::hours(1), 0, true},
    {"one younger, in use", 1, std::chrono::seconds(0), 1, true},
    {"64 younger, in use", 64, std::chrono::seconds(0), 64, false},
};
// The names in the folder that look like a scratch copy of any file.
std::vector<std::string> scratchesIn(const std::filesystem::path& folder);

// A data folder under `base` in one form the host may give it, as UTF-8.
struct FolderForm {
    std::string name;
    std::string given;
    std::filesystem::path folder;
};
// A name beyond ASCII, a trailing separator and, on Windows, the \\?\ form of long paths.
std::vector<FolderForm> folderForms(const std::filesystem::path& base);

// The expected stats file for the figures.
std::string statsText(const std::string& change, int streak, int wins, int losses);

} // namespace support
