// The plugin's settings page: its position lines follow the desktop size.
#include "settingsPage.h"

#include "conversions.h"
#include "names.h"
#include "tarnuPlugin.h"
#include "wholeFile.h"

using files::FileRead;
using files::FileWrite;

namespace {

// No settings page comes near this; a larger file is left as it is.
constexpr std::size_t pageLimit = std::size_t{4} << 20;

// The line that starts at `at`, without its break; false past the last line.
bool nextLine(std::string_view page, std::size_t& at, std::string_view& line)
{
    if (at >= page.size())
        return false;
    const std::size_t end = page.find('\n', at);
    if (end == std::string_view::npos) {
        line = page.substr(at); // the last line, without a break: every byte stays
        at = page.size();
        return true;
    }
    line = page.substr(at, end - at);
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    at = end + 1;
    return true;
}

} // namespace

void rewriteSettingsPage(std::string_view page, std::string& out, std::int32_t width, std::int32_t height)
{
    const std::string xLine =
        std::string("5|X Position|") + names::posx + "|0|" + std::to_string(width) + "\r\n";
    const std::string yLine =
        std::string("5|Y Position|") + names::posy + "|0|" + std::to_string(height) + "\r\n";
    out.reserve(out.size() + page.size() + page.size() / 16 + xLine.size() + yLine.size());
    std::size_t at = 0;
    std::string_view line;
    while (nextLine(page, at, line)) {
        if (line.find("X Position") != std::string_view::npos) {
            out.append(xLine).append(yLine);
            nextLine(page, at, line); // the old Y line, whatever it holds
        } else {
            out.append(line).append("\r\n");
        }
    }
}

void tarnuPlugin::writeSettingsFile()
{
    const std::string name = names::settingsPage;
    // A page that is a link stays one: the file it points at is read and replaced.
    const auto pagePath = files::pathInFolder(dataFolder, std::string(names::settingsFolder) + "/" + name);
    files::clearLeftovers(pagePath); // once per load, before the write that might need their names
    const FileRead page = files::readWholeFile(pagePath, pageLimit);
    switch (page.outcome) {
    case FileRead::Outcome::Read: break;
    case FileRead::Outcome::Missing: return; // the page is never created
    case FileRead::Outcome::NotRegular:
    case FileRead::Outcome::TooLarge: cvarManager->log(name + ": left as it is: " + page.says()); return;
    case FileRead::Outcome::Failed: cvarManager->log(name + ": cannot read: " + page.says()); return;
    }
    std::string rewritten;
    rewriteSettingsPage(page.bytes, rewritten, screenWidth, screenHeight);
    // Once per load, so the new page reaches the disk before it replaces the old.
    const FileWrite written = files::replaceWholeFile(pagePath, rewritten, files::Durability::OnDisk);
    if (!written.written())
        cvarManager->log(name + ": " + written.says());
    // A whole copy, in place or not, asks for a reload; an incomplete one, or none, does not.
    if (written.written() || written.outcome == FileWrite::Outcome::NotMoved ||
        written.outcome == FileWrite::Outcome::Held || written.outcome == FileWrite::Outcome::NotOnDisk)
        cvarManager->executeCommand("cl_settings_refreshplugins", true);
}
