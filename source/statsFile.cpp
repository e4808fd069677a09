// WinsLossesStats.txt: the session figures for other programs to read.
#include <algorithm>
#include <charconv>
#include <fstream>
#include <type_traits>

#include "paths.h"
#include "tarnuPlugin.h"

namespace {

// Lives as long as the module; each write opens, writes and closes it, so no
// file is held open between writes.
std::ofstream statsStream;

// Writes the label, the value ("%f" for the rating change, decimal otherwise)
// and the line end in one piece.
template <class Number> void writeLine(const char* label, Number value, const char* end)
{
    char line[96];
    char* out = std::copy(label, label + std::char_traits<char>::length(label), line);
    if constexpr (std::is_floating_point_v<Number>)
        out = std::to_chars(out, line + 64, static_cast<double>(value), std::chars_format::fixed, 6).ptr;
    else
        out = std::to_chars(out, line + 64, value).ptr;
    out = std::copy(end, end + std::char_traits<char>::length(end), out);
    statsStream.write(line, out - line);
}

} // namespace

void tarnuPlugin::writeStatsFile()
{
    // Binary mode with explicit CR LF: the same bytes on every platform.
    statsStream.open(pathFromUtf8(dataFolder + "/WinsLossesStats.txt"),
                     std::ios::out | std::ios::trunc | std::ios::binary);
    if (statsStream.is_open()) {
        writeLine("MMR : ", ratingChange, "\r\n");
        writeLine("Streak : ", streak, "\r\n");
        writeLine("Wins : ", wins, "\r\n");
        writeLine("Losses : ", losses, "");
    }
    statsStream.close();
}
