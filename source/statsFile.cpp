// WinsLossesStats.txt: the session figures for other programs to read.
#include <algorithm>
#include <charconv>
#include <string_view>
#include <type_traits>

#include "conversions.h"
#include "names.h"
#include "tarnuPlugin.h"
#include "wholeFile.h"

using files::FileWrite;

namespace {

// Appends the label, the value ("%f" for the rating change, decimal otherwise)
// and the line end; a line never comes near the 64 bytes it may take.
template <class Number> char* putLine(char* out, const char* label, Number value, std::string_view end)
{
    char* const limit = out + 64;
    out = std::copy(label, label + std::char_traits<char>::length(label), out);
    if constexpr (std::is_floating_point_v<Number>)
        out = std::to_chars(out, limit, static_cast<double>(value), std::chars_format::fixed, 6).ptr;
    else
        out = std::to_chars(out, limit, value).ptr;
    return std::copy(end.begin(), end.end(), out);
}

// A file that could not be written is tried again this often, until it can be.
constexpr float statsRetryDelay = 0.5f;
// A program that refuses the file's replacement for this long, holding it open, may
// hold it for good: the figures are then written over in place, so it sees them too.
constexpr float heldBeforeInPlace = 2.0f;

// A console line about the file: its name, then what happened.
std::string aboutStats(const std::string& said) { return std::string(names::statsFile) + ": " + said; }

} // namespace

// The four lines of the file, as they stand, in `text`.
std::string_view tarnuPlugin::statsText(char (&text)[statsTextSize]) const
{
    // CR LF written as bytes: the same file on every platform.
    char* out = putLine(text, "MMR : ", ratingChange, "\r\n");
    out = putLine(out, "Streak : ", streak, "\r\n");
    out = putLine(out, "Wins : ", wins, "\r\n");
    out = putLine(out, "Losses : ", losses, "");
    return {text, static_cast<std::size_t>(out - text)};
}

// The figures as they stand, in the file that overlays poll.
FileWrite tarnuPlugin::putStatsFile()
{
    char text[statsTextSize];
    const auto whenHeld = static_cast<float>(statsRetries) * statsRetryDelay >= heldBeforeInPlace
                              ? files::WhenHeld::WriteInPlace
                              : files::WhenHeld::Wait;
    return files::updatePolledFile(files::pathInFolder(dataFolder, names::statsFile), statsText(text),
                                   whenHeld);
}

// Scratch copies that a crash left at any name go at load, as the writes clear
// them only when they find their first name taken.
void tarnuPlugin::startStatsFile()
{
    files::clearLeftovers(files::pathInFolder(dataFolder, names::statsFile));
    writeStatsFile();
}

void tarnuPlugin::writeStatsFile()
{
    const FileWrite written = putStatsFile();
    if (written.written())
        return statsCaughtUp();
    cvarManager->log(aboutStats(written.says()));
    // What stands in the file's place is left alone; anything else may pass.
    if (written.outcome == FileWrite::Outcome::NotRegular)
        return;
    statsBehind = true;
    scheduleStatsRetry();
}

void tarnuPlugin::retryStatsFile()
{
    statsRetryPending = false;
    if (!statsBehind)
        return;
    ++statsRetries;
    const FileWrite written = putStatsFile();
    if (written.written())
        statsCaughtUp();
    else if (written.outcome == FileWrite::Outcome::NotRegular) {
        statsRetries = 0;
        cvarManager->log(aboutStats(written.says()));
    } else
        scheduleStatsRetry();
}

void tarnuPlugin::scheduleStatsRetry()
{
    if (!statsRetryPending) {
        statsRetryPending = true;
        after(statsRetryDelay, &tarnuPlugin::retryStatsFile);
    }
}

void tarnuPlugin::statsCaughtUp()
{
    if (statsBehind)
        cvarManager->log(aboutStats("up to date again"));
    statsBehind = false;
    statsRetries = 0;
}

// No retry runs after unload: a file still behind gets one last try, and if that
// fails, the console keeps what the file would have held.
void tarnuPlugin::lastStatsWrite()
{
    if (!statsBehind)
        return;
    const FileWrite written = putStatsFile();
    if (written.written())
        return statsCaughtUp();
    char text[statsTextSize];
    std::string figures(statsText(text));
    for (std::size_t at = figures.find("\r\n"); at != std::string::npos; at = figures.find("\r\n", at))
        figures.replace(at, 2, ", ");
    cvarManager->log(aboutStats("behind at unload (" + written.says() + "); it would hold " + figures));
}
