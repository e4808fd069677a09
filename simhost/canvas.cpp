// Frames: drawables run on one canvas that records every call in order.
#include <charconv>

#include "host.h"

namespace simhost {

std::string shortest(float value)
{
    char buffer[32];
    return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, value).ptr);
}

void Host::addDrawable(std::function<void(CanvasWrapper)> callback)
{
    registered("RegisterDrawable");
    drawables_.push_back({owner_, std::move(callback)});
}

void Host::drawFrame()
{
    frameCalls_ = 0;
    for (Drawable& drawable : drawables_)
        callPlugin(drawable.owner, {"drawable"}, [&] { drawable.callback(CanvasWrapper(this)); });
}

// Records are reused from frame to frame, so a steady frame allocates nothing here.
void Host::recordCanvas(CanvasCall::Kind kind, float x, float y, const std::uint8_t* color,
                        const std::string* text)
{
    if (frameCalls_ == frame_.size())
        frame_.emplace_back().text.reserve(32);
    CanvasCall& call = frame_[frameCalls_++];
    call.kind = kind;
    call.x = x;
    call.y = y;
    for (int i = 0; i < 4; ++i)
        call.color[i] = color != nullptr ? color[i] : 0;
    if (text != nullptr)
        call.text.assign(*text);
    else
        call.text.clear();
}

} // namespace simhost

using Kind = simhost::CanvasCall::Kind;

void CanvasWrapper::SetPosition(Vector2F position)
{
    if (host_ != nullptr)
        host_->recordCanvas(Kind::SetPosition, position.X, position.Y);
}

void CanvasWrapper::SetColor(std::uint8_t red, std::uint8_t green, std::uint8_t blue, std::uint8_t alpha)
{
    const std::uint8_t color[4] = {red, green, blue, alpha};
    if (host_ != nullptr)
        host_->recordCanvas(Kind::SetColor, 0, 0, color);
}

void CanvasWrapper::FillBox(Vector2F size)
{
    if (host_ != nullptr)
        host_->recordCanvas(Kind::FillBox, size.X, size.Y);
}

void CanvasWrapper::DrawString(const std::string& text, float xScale, float yScale)
{
    if (host_ != nullptr)
        host_->recordCanvas(Kind::DrawString, xScale, yScale, nullptr, &text);
}
