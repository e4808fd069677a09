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

// A file that could not be written is tried again half a second later, then after
// as long again as it has been behind, up to a few seconds: a program that holds
// it for long is tried less and less often (0.5, 1, 2, 4, 8, 12 s, ...).
constexpr float firstRetry = 0.5f;
constexpr float longestRetry = 4.0f;
// A program that refuses the file's replacement for this long, holding it open, may
// hold it for good: the figures are then written over in place, so it sees them too.
constexpr float heldBeforeInPlace = 2.0f;

// A console line about the file: its name, then what happened.
std::string aboutStats(const std::string& said) { return std::string(names::statsFile) + ": " + said; }

// Why an update did not land: what holds the file, where another program does.
std::string why(const FileWrite& written)
{
    return written.outcome == FileWrite::Outcome::Held ? written.reason : written.says();
}

// Why an update did not land, and, where another program holds the file, when
// the figures follow: this is no failure a player need act on.
std::string missed(const FileWrite& written, files::WhenHeld whenHeld)
{
    if (written.outcome != FileWrite::Outcome::Held)
        return written.says();
    if (whenHeld == files::WhenHeld::Wait)
        return written.reason + "; the figures follow when it lets go, or in place two seconds on if it lets "
                                "others write";
    return written.reason + "; the figures follow when it lets go";
}

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
FileWrite tarnuPlugin::putStatsFile(files::WhenHeld whenHeld)
{
    char text[statsTextSize];
    return files::updatePolledFile(files::pathInFolder(dataFolder, names::statsFile), statsText(text),
                                   whenHeld);
}

files::WhenHeld tarnuPlugin::statsWhenHeld() const
{
    return statsBehindFor >= heldBeforeInPlace ? files::WhenHeld::WriteInPlace : files::WhenHeld::Wait;
}

float tarnuPlugin::statsRetryDelay() const { return std::clamp(statsBehindFor, firstRetry, longestRetry); }

// Scratch copies that a crash left at any name go at load, as the writes clear
// them only when they find their first name taken.
void tarnuPlugin::startStatsFile()
{
    files::clearLeftovers(files::pathInFolder(dataFolder, names::statsFile));
    writeStatsFile();
}

void tarnuPlugin::writeStatsFile()
{
    const files::WhenHeld whenHeld = statsWhenHeld();
    const FileWrite written = putStatsFile(whenHeld);
    if (written.written())
        return statsCaughtUp();
    cvarManager->log(aboutStats(missed(written, whenHeld)));
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
    statsBehindFor += statsRetryDelay(); // the delay this retry was scheduled with
    const FileWrite written = putStatsFile(statsWhenHeld());
    if (written.written())
        statsCaughtUp();
    else if (written.outcome == FileWrite::Outcome::NotRegular) {
        statsBehindFor = 0.0f;
        cvarManager->log(aboutStats(written.says()));
    } else
        scheduleStatsRetry();
}

void tarnuPlugin::scheduleStatsRetry()
{
    if (!statsRetryPending) {
        statsRetryPending = true;
        after(statsRetryDelay(), &tarnuPlugin::retryStatsFile);
    }
}

void tarnuPlugin::statsCaughtUp()
{
    if (statsBehind)
        cvarManager->log(aboutStats("up to date again"));
    statsBehind = false;
    statsBehindFor = 0.0f;
}

// No retry runs after unload: a file still behind gets one last try, in place
// where a program holding it lets others write, and if that fails, the console
// keeps what the file would have held.
void tarnuPlugin::lastStatsWrite()
{
    if (!statsBehind)
        return;
    const FileWrite written = putStatsFile(files::WhenHeld::WriteInPlace);
    if (written.written())
        return statsCaughtUp();
    char text[statsTextSize];
    std::string figures(statsText(text));
    for (std::size_t at = figures.find("\r\n"); at != std::string::npos; at = figures.find("\r\n", at))
        figures.replace(at, 2, ", ");
    cvarManager->log(aboutStats("behind at unload (" + why(written) + "); it would hold " + figures));
}
