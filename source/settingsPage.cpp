// The plugin's settings page: its position lines follow the desktop size.
#include "settingsPage.h"

#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include "names.h"
#include "paths.h"
#include "tarnuPlugin.h"

namespace {

// Reads one line, accepting LF and CR LF ends.
bool readLine(std::istream& in, std::string& line)
{
    if (!std::getline(in, line))
        return false;
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return true;
}

} // namespace

bool rewriteSettingsPage(std::istream& page, std::ostream& out, std::int32_t width, std::int32_t height)
{
    const std::string xLine =
        std::string("5|X Position|") + names::posx + "|0|" + std::to_string(width) + "\r\n";
    const std::string yLine =
        std::string("5|Y Position|") + names::posy + "|0|" + std::to_string(height) + "\r\n";
    std::string line;
    while (readLine(page, line)) {
        if (line.find("X Position") != std::string::npos) {
            out << xLine << yLine;
            readLine(page, line); // the old Y line, whatever it holds
        } else {
            out << line << "\r\n";
        }
    }
    return !page.bad();
}

void tarnuPlugin::writeSettingsFile()
{
    const auto pagePath = pathFromUtf8(dataFolder + "/plugins/settings/tarnuplugin.set");
    const auto scratchPath = pathFromUtf8(dataFolder + "/plugins/settings/temp.set");
    std::ifstream page(pagePath, std::ios::in | std::ios::binary);
    std::ofstream scratch(scratchPath, std::ios::out | std::ios::trunc | std::ios::binary);
    if (!page.is_open() || !scratch.is_open())
        return;
    const bool readWhole = rewriteSettingsPage(page, scratch, screenWidth, screenHeight);
    page.close();
    scratch.close();
    // The page is replaced only by a complete copy, in one step that either
    // happens whole or leaves the old page as it was.
    if (!readWhole || scratch.fail())
        return;
    std::error_code error;
    std::filesystem::rename(scratchPath, pagePath, error);
    cvarManager->executeCommand("cl_settings_refreshplugins", true);
}
