#include "session.h"

#include <gtest/gtest.h>

#include <cstdio>
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

std::filesystem::path testablePath() { return simhost::besideProgram(TARNU_TESTABLE_FILE); }

std::filesystem::path testModule(const char* name)
{
    return simhost::besideProgram(name + pluginPath().extension().string());
}

void Session::load() { module = simhost::PluginModule::load(host, testablePath()); }

tarnuPlugin& Session::plugin() { return *static_cast<tarnuPlugin*>(module->plugin().get()); }

files::os::SystemCalls& Session::fileCalls()
{
    if (!mapped_)
        mapped_ = std::make_unique<simhost::Library>(testablePath());
    const auto table = reinterpret_cast<files::os::SystemCalls* (*)()>(mapped_->symbol("tarnuFileCalls"));
    EXPECT_NE(table, nullptr);
    return *table();
}

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

void leaveScratches(const std::filesystem::path& target, int count, std::chrono::seconds age, int first)
{
    const auto written = std::filesystem::file_time_type::clock::now() - age;
    for (int number = first; number < first + count; ++number) {
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

FolderForms::FolderForms() : forms_(forms(base_.path())) {}

#if defined(_WIN32)
namespace {
// Every file and folder below the folder, named in the \\?\ form, which keeps a
// trailing dot where the plain form drops it.
void removeTree(const std::wstring& folder)
{
    WIN32_FIND_DATAW entry{};
    const HANDLE found = FindFirstFileW((folder + L"\\*").c_str(), &entry);
    for (bool more = found != INVALID_HANDLE_VALUE; more; more = FindNextFileW(found, &entry)) {
        const std::wstring name = entry.cFileName;
        if (name == L"." || name == L"..")
            continue;
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
            removeTree(folder + L"\\" + name);
        else
            DeleteFileW((folder + L"\\" + name).c_str());
    }
    if (found != INVALID_HANDLE_VALUE)
        FindClose(found);
    RemoveDirectoryW(folder.c_str());
}
} // namespace

FolderForms::~FolderForms()
{
    removeTree(L"\\\\?\\" + std::filesystem::absolute(base_.path()).make_preferred().native());
}
#else
FolderForms::~FolderForms() = default;
#endif

std::vector<FolderForm> FolderForms::forms(const std::filesystem::path& base)
{
    const std::string separator = utf8(std::filesystem::path("/").make_preferred());
    const auto beyondAscii = base / std::filesystem::path(u8"Jos\u00e9 \u00fcber \U0001F3C6");
    std::vector<FolderForm> forms = {
        {"beyond ASCII", utf8(beyondAscii), beyondAscii},
        {"trailing separator", utf8(base / "trailing") + separator, base / "trailing"},
    };
    // Names that end in a dot, which Windows reaches only in the \\?\ form, and
    // spells without the dot in the final name of a file in them.
    std::string prefix;
#if defined(_WIN32)
    const auto whole = std::filesystem::absolute(base).make_preferred();
    forms.push_back({"\\\\?\\ form", "\\\\?\\" + utf8(whole / "long"), whole / "long"});
    forms.push_back(
        {"\\\\?\\ form, trailing separator", "\\\\?\\" + utf8(whole / "both") + separator, whole / "both"});
    prefix = "\\\\?\\" + utf8(whole) + separator;
#else
    prefix = utf8(base) + separator;
#endif
    for (const std::string dotted : {"dotted.", "above./data"}) {
        const auto folder = files::pathInFolder(prefix, dotted);
        forms.push_back({"a name ending in a dot: " + dotted, utf8(folder), folder});
    }
    return forms;
}

std::string statsText(const std::string& change, int streak, int wins, int losses)
{
    return "MMR : " + change + "\r\nStreak : " + std::to_string(streak) +
           "\r\nWins : " + std::to_string(wins) + "\r\nLosses : " + std::to_string(losses);
}

bool isStatsText(std::string_view text)
{
    const std::string whole(text);
    double change = 0.0;
    int streak = 0, wins = 0, losses = 0;
    if (std::sscanf(whole.c_str(), "MMR : %lf Streak : %d Wins : %d Losses : %d", &change, &streak, &wins,
                    &losses) != 4)
        return false;
    char figure[64];
    std::snprintf(figure, sizeof figure, "%.6f", change);
    return whole == statsText(figure, streak, wins, losses);
}

} // namespace support
