// The texts of the overlay's figure lines, kept with the plugin object.
#pragma once

#include <cstdint>
#include <string>

// Lines 1 to 4, kept from frame to frame and rebuilt only when their figure
// changes; sized once for the longest figure, so a drawn frame allocates nothing.
class FigureLines {
public:
    FigureLines();
    // The label followed by the value in decimal, for line `index` (0 to 3).
    const std::string& line(int index, const char* label, std::int32_t value);

private:
    std::string text_[4];
    std::int32_t shown_[4] = {};
};
