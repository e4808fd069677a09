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
#include "faults.h"
#include "host.h"
#include "loader.h"
#include "quillfort/desktop.h"
#include "tarnuPlugin.h"

namespace support {

std::string readFile(const std::filesystem::path& path);
void writeFile(const std::filesystem::path& path, const std::string& bytes);
std::string utf8(const std::filesystem::path& path);
// The plugin module as it ships, and the copy the sessions load, which also
// hands the tests its file calls.
std::filesystem::path pluginPath();
std::filesystem::path testablePath();
// A module the tests build beside them (badPlugin.cpp, faultyPlugin.cpp), by its name.
std::filesystem::path testModule(const char* name);
std::vector<std::string> words(const std::string& line);
inline bool has(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}
// Where a program holding a file open keeps it from being replaced until it lets go.
#if defined(_WIN32)
inline constexpr bool holdersRefuseMoves = true;
#else
inline constexpr bool holdersRefuseMoves = false;
#endif

// The desktop the plugin measures at load: on Windows the real one, elsewhere
// the stand-in's (1920 x 1080 unless a session asked for another).
RECT measuredDesktop();

class Session {
public:
    explicit Session(int width = simhost::defaultDesktop.width, int height = simhost::defaultDesktop.height);

    // Loads the plugin's code in a module that also hands the tests its file calls.
    void load();
    void unload() { module.reset(); }
    tarnuPlugin& plugin();
    // The module's own table of file calls, to inject faults into; before a load
    // too, as the module is then kept mapped for the rest of the session.
    files::os::SystemCalls& fileCalls();
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

private:
    std::unique_ptr<simhost::Library> mapped_;
};

// Scratch copies as crashes leave them beside `target` (`.NAME.N.tmp` from N =
// `first` on), last written `age` ago (ahead, when negative).
void leaveScratches(const std::filesystem::path& target, int count, std::chrono::seconds age, int first = 0);
// The names in the folder that look like a scratch copy of any file.
std::vector<std::string> scratchesIn(const std::filesystem::path& folder);

// A data folder under `base` in one form the host may give it, as UTF-8.
struct FolderForm {
    std::string name;
    std::string given;
    std::filesystem::path folder;
};
// Data folders in a throwaway folder, one in each form the host may give: a name
// beyond ASCII, a trailing separator, names that end in a dot and, on Windows, the
// \\?\ form of long paths.
class FolderForms {
public:
    FolderForms();
    // Removes what the standard library cannot remove on Windows: names that end in a dot.
    ~FolderForms();
    FolderForms(const FolderForms&) = delete;
    FolderForms& operator=(const FolderForms&) = delete;

    const std::vector<FolderForm>& all() const { return forms_; }

private:
    static std::vector<FolderForm> forms(const std::filesystem::path& base);

    qsim::DataFolder base_;
    std::vector<FolderForm> forms_;
};

// The expected stats file for the figures.
std::string statsText(const std::string& change, int streak, int wins, int losses);
// Whether the text is a whole stats file: four lines as statsText makes them.
bool isStatsText(std::string_view text);

} // namespace support
