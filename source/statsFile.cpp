// WinsLossesStats.txt: the session figures for other programs to read.
#include <algorithm>
#include <charconv>
#include <string_view>
#include <type_traits>

#include "names.h"
#include "paths.h"
#include "tarnuPlugin.h"
#include "wholeFile.h"

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

} // namespace

void tarnuPlugin::writeStatsFile()
{
    // CR LF written as bytes: the same file on every platform.
    char text[4 * 64];
    char* out = putLine(text, "MMR : ", ratingChange, "\r\n");
    out = putLine(out, "Streak : ", streak, "\r\n");
    out = putLine(out, "Wins : ", wins, "\r\n");
    out = putLine(out, "Losses : ", losses, "");
    const std::string_view bytes(text, static_cast<std::size_t>(out - text));

    // A reader sees the old four lines or the new four. One on Windows that holds
    // the file without letting it be replaced gets the update in place instead.
    const auto path = pathFromUtf8(dataFolder + "/" + names::statsFile);
    FileWrite written = replaceWholeFile(path, bytes, false);
    if (written.outcome == FileWrite::Outcome::NotMoved)
        written = overwriteWholeFile(path, bytes);
    if (!written.written())
        cvarManager->log(std::string(names::statsFile) + ": cannot write: " + written.reason);
}
