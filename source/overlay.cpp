// The statistics box, drawn every frame.
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include "names.h"
#include "overlay.h"
#include "tarnuPlugin.h"

namespace {

// Rounded half away from zero; beyond 32 bits it shows the nearest value that
// fits, and a change that is not a number shows as 0.
std::int32_t roundedChange(float change)
{
    if (std::isnan(change))
        return 0;
    const float rounded = std::round(change);
    if (rounded >= 2147483648.0f)
        return std::numeric_limits<std::int32_t>::max();
    if (rounded < -2147483648.0f)
        return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(rounded);
}

const std::string version = "          v" TARNU_VERSION;
const std::string pluginLine = "     Plugin";
const std::string authorLine = "     by tarnu";

} // namespace

FigureLines::FigureLines()
{
    for (std::string& line : text_)
        line.reserve(32);
}

const std::string& FigureLines::line(int index, const char* label, std::int32_t value)
{
    std::string& text = text_[index];
    if (!text.empty() && shown_[index] == value)
        return text;
    char digits[16];
    const char* begin = digits;
    const char* end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    text.assign(label).append(begin, end);
    shown_[index] = value;
    return text;
}

void tarnuPlugin::drawOverlay(CanvasWrapper canvas)
{
    if (!enabled || hidden)
        return;
    posX = static_cast<float>(cvarManager->getCvar(names::posx).getIntValue());
    posY = static_cast<float>(cvarManager->getCvar(names::posy).getIntValue());
    overlayScale = cvarManager->getCvar(names::scale).getFloatValue();
    const float s = overlayScale;

    const std::int32_t change = roundedChange(ratingChange);

    canvas.SetPosition({posX, posY});
    canvas.SetColor(0, 0, 0, 150);
    canvas.FillBox({90.0f * s, 125.0f * s});

    struct Step {
        const std::string& text;
        std::uint8_t red, green, blue, alpha;
        bool setsColor;
    };
    const Step steps[] = {
        {figureLines.line(0, change >= 0 ? "MMR : +" : "MMR : ", change), 255, 255, 0, 255, true},
        {figureLines.line(1, "Streak : ", streak), 0, 191, 255, 255, true},
        {figureLines.line(2, "Wins : ", wins), 0, 255, 0, 255, true},
        {figureLines.line(3, "Losses : ", losses), 204, 0, 0, 255, true},
        {version, 180, 180, 180, 150, true},
        {pluginLine, 255, 255, 255, 255, true},
        {authorLine, 255, 255, 255, 255, false}, // keeps the colour of the line above
    };
    float step = 0.0f;
    for (const Step& line : steps) {
        canvas.SetPosition({posX + 10.0f, (posY + 10.0f) + step * s});
        if (line.setsColor)
            canvas.SetColor(line.red, line.green, line.blue, line.alpha);
        canvas.DrawString(line.text, s, s);
        step += 16.0f;
    }
}
