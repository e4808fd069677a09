// Frames: drawables run on one canvas that records every call in order.
#include <charconv>

#include "host.h"

namespace Quillfort {

std::string quoted(const std::string& text)
{
    std::string out = "\"";
    for (char c : text) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '"': out += "\\\""; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default: out += c;
        }
    }
    return out + '"';
}

std::string echoed(std::string_view word)
{
    constexpr std::size_t limit = 200;
    std::string out = "'";
    if (word.size() <= limit)
        return out.append(word).append("'");
    std::size_t cut = limit;
    while (cut > 0 && (static_cast<unsigned char>(word[cut]) & 0xC0) == 0x80)
        --cut; // a UTF-8 continuation byte: back to the character's start
    return out.append(word.substr(0, cut)).append("...'");
}

std::string shortest(float value)
{
    char buffer[32];
    return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, value).ptr);
}

std::string describe(const CanvasCall& call)
{
    using Kind = CanvasCall::Kind;
    const std::string pair = shortest(call.x) + " " + shortest(call.y);
    switch (call.kind) {
    case Kind::SetPosition: return "SetPosition " + pair;
    case Kind::FillBox: return "FillBox " + pair;
    case Kind::DrawString: return "DrawString " + quoted(call.text) + " " + pair;
    case Kind::SetColor: break;
    }
    std::string out = "SetColor";
    for (std::uint8_t part : call.color)
        out.append(" ").append(std::to_string(part));
    return out;
}

void HostState::addDrawable(std::function<void(CanvasWrapper)> callback)
{
    registrations_.push_back("RegisterDrawable");
    drawables_.push_back({owner_, std::move(callback)});
}

void HostState::drawFrame()
{
    frameCalls_ = 0;
    for (Drawable& drawable : drawables_) {
        OwnerScope scope(*this, drawable.owner);
        drawable.callback(CanvasWrapper(this));
    }
}

// Records are reused from frame to frame, so a steady frame allocates nothing here.
void HostState::recordCanvas(CanvasCall::Kind kind, float x, float y, const std::uint8_t* color,
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

} // namespace Quillfort

using Kind = Quillfort::CanvasCall::Kind;

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
