#include "session.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace support {

std::string readFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void writeFile(const std::filesystem::path& path, const std::string& bytes)
{
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::string utf8(const std::filesystem::path& path) { return files::utf8FromPath(path); }

std::filesystem::path pluginPath() { return simhost::besideProgram(TARNU_PLUGIN_FILE); }

std::vector<std::string> words(const std::string& line)
{
    std::istringstream in(line);
    std::vector<std::string> result;
    for (std::string word; in >> word;)
        result.push_back(word);
    return result;
}

RECT measuredDesktop()
{
    RECT rect{};
    GetWindowRect(GetDesktopWindow(), &rect);
    return rect;
}

Session::Session(int width, int height)
{
    host.setDesktop(width, height);
    host.setDataFolder(utf8(data.path()));
}

void Session::load() { module = simhost::PluginModule::load(host, pluginPath()); }

tarnuPlugin& Session::plugin() { return *static_cast<tarnuPlugin*>(module->plugin().get()); }

void Session::console(const std::string& line)
{
    const simhost::ConsoleResult result = host.console(words(line));
    ASSERT_TRUE(result.ok) << line << ": " << result.message;
}

void Session::playMatch(const std::vector<int>& goals, simhost::Place place, int playlist, int team)
{
    host.startMatch(place, playlist, team);
    host.kickoff();
    for (int goal : goals) {
        host.score(goal);
        host.kickoff();
    }
    host.endMatch();
}

void leaveScratches(const std::filesystem::path& target, int count, std::chrono::seconds age)
{
    const auto written = std::filesystem::file_time_type::clock::now() - age;
    for (int number = 0; number < count; ++number) {
        const auto name =
            target.parent_path() / ("." + utf8(target.filename()) + "." + std::to_string(number) + ".tmp");
        writeFile(name, "left by a crash");
        std::filesystem::last_write_time(name, written);
    }
}

std::vector<std::string> scratchesIn(const std::filesystem::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const std::string name = utf8(entry.path().filename());
        if (name.starts_with(".") && name.ends_with(".tmp"))
            names.push_back(name);
    }
    return names;
}

std::vector<FolderForm> folderForms(const std::filesystem::path& base)
{
    const std::string separator = utf8(std::filesystem::path("/").make_preferred());
    const auto beyondAscii = base / std::filesystem::path(u8"Jos\u00e9 \u00fcber \U0001F3C6");
    std::vector<FolderForm> forms = {
        {"beyond ASCII", utf8(beyondAscii), beyondAscii},
        {"trailing separator", utf8(base / "trailing") + separator, base / "trailing"},
    };
#if defined(_WIN32)
    const auto whole = std::filesystem::absolute(base).make_preferred();
    forms.push_back({"\\\\?\\ form", "\\\\?\\" + utf8(whole / "long"), whole / "long"});
    forms.push_back(
        {"\\\\?\\ form, trailing separator", "\\\\?\\" + utf8(whole / "both") + separator, whole / "both"});
#endif
    return forms;
}

std::string statsText(const std::string& change, int streak, int wins, int losses)
{
    return "MMR : " + change + "\r\nStreak : " + std::to_string(streak) +
           "\r\nWins : " + std::to_string(wins) + "\r\nLosses : " + std::to_string(losses);
}

} // namespace support
