// Drawing on the frame being rendered.
#pragma once

#include <cstdint>
#include <string>

#include "quillfort/api.h"

struct Vector2F {
    float X = 0.0f;
    float Y = 0.0f;
};

class PLUGINSDK_API CanvasWrapper {
public:
    explicit CanvasWrapper(simhost::Host* host = nullptr) : host_(host) {}

    void SetPosition(Vector2F position);
    void SetColor(std::uint8_t red, std::uint8_t green, std::uint8_t blue, std::uint8_t alpha);
    // Fills a box of the given size whose top-left corner is the current position.
    void FillBox(Vector2F size);
    void DrawString(const std::string& text, float xScale, float yScale);

private:
    simhost::Host* host_;
};
