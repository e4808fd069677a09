// Pictures drawn with Cairo.
#include <cairo.h>

#include <algorithm>
#include <memory>

#include "picture.h"

namespace qsim {
namespace {

using Surface = std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)>;
using Context = std::unique_ptr<cairo_t, decltype(&cairo_destroy)>;

// The host's font at text scale 1: a line fits the 16-pixel line step.
constexpr double fontSize = 10.0;

Surface surfaceOf(const std::string& png)
{
    std::string_view unread = png;
    const auto read = [](void* closure, unsigned char* data, unsigned int length) {
        auto& rest = *static_cast<std::string_view*>(closure);
        if (rest.size() < length)
            return CAIRO_STATUS_READ_ERROR;
        std::copy_n(rest.data(), length, data);
        rest.remove_prefix(length);
        return CAIRO_STATUS_SUCCESS;
    };
    return Surface(cairo_image_surface_create_from_png_stream(read, &unread), cairo_surface_destroy);
}

void paintBackground(cairo_t* cairo, cairo_surface_t* picture, int width, int height)
{
    if (picture != nullptr) {
        cairo_save(cairo);
        cairo_scale(cairo, double(width) / cairo_image_surface_get_width(picture),
                    double(height) / cairo_image_surface_get_height(picture));
        cairo_set_source_surface(cairo, picture, 0, 0);
        cairo_paint(cairo);
        cairo_restore(cairo);
        return;
    }
    cairo_pattern_t* gradient = cairo_pattern_create_linear(0, 0, 0, height);
    cairo_pattern_add_color_stop_rgb(gradient, 0, 0.42, 0.47, 0.52);
    cairo_pattern_add_color_stop_rgb(gradient, 1, 0.20, 0.23, 0.26);
    cairo_set_source(cairo, gradient);
    cairo_paint(cairo);
    cairo_pattern_destroy(gradient);
}

void replay(cairo_t* cairo, std::span<const simhost::CanvasCall> calls)
{
    using Kind = simhost::CanvasCall::Kind;
    double x = 0, y = 0;
    cairo_select_font_face(cairo, "DejaVu Sans Mono", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cairo, fontSize);
    cairo_font_extents_t font;
    cairo_font_extents(cairo, &font);
    for (const simhost::CanvasCall& call : calls) {
        switch (call.kind) {
        case Kind::SetPosition:
            x = call.x;
            y = call.y;
            break;
        case Kind::SetColor:
            cairo_set_source_rgba(cairo, call.color[0] / 255.0, call.color[1] / 255.0, call.color[2] / 255.0,
                                  call.color[3] / 255.0);
            break;
        case Kind::FillBox:
            cairo_rectangle(cairo, x, y, call.x, call.y);
            cairo_fill(cairo);
            break;
        case Kind::DrawString:
            cairo_save(cairo);
            cairo_translate(cairo, x, y);
            cairo_scale(cairo, call.x, call.y);
            cairo_move_to(cairo, 0, font.ascent);
            cairo_show_text(cairo, call.text.c_str());
            cairo_restore(cairo);
            break;
        }
    }
}

} // namespace

struct BackgroundImage {
    Surface surface;
};

// Cairo says "out of memory" for image data that the PNG library cannot decode, too:
// a picture of that size that can be made tells the two apart.
std::shared_ptr<const BackgroundImage> decodePicture(const std::string& png, int width, int height,
                                                     std::string& problem)
{
    auto image = std::make_shared<BackgroundImage>(BackgroundImage{surfaceOf(png)});
    const cairo_status_t status = cairo_surface_status(image->surface.get());
    if (status == CAIRO_STATUS_SUCCESS)
        return image;
    problem = cairo_status_to_string(status);
    if (status == CAIRO_STATUS_NO_MEMORY) {
        const Surface room(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height),
                           cairo_surface_destroy);
        if (cairo_surface_status(room.get()) == CAIRO_STATUS_SUCCESS)
            problem = "its image data is damaged";
    }
    return nullptr;
}

bool picturesAvailable() { return true; }

std::string renderPicture(std::span<const simhost::CanvasCall> calls, int width, int height,
                          const BackgroundImage* background, std::string& problem)
{
    Surface surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height), cairo_surface_destroy);
    Context cairo(cairo_create(surface.get()), cairo_destroy);
    paintBackground(cairo.get(), background ? background->surface.get() : nullptr, width, height);
    replay(cairo.get(), calls);
    std::string png;
    const auto write = [](void* closure, const unsigned char* data, unsigned int length) {
        static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
        return CAIRO_STATUS_SUCCESS;
    };
    const cairo_status_t status = cairo_surface_write_to_png_stream(surface.get(), write, &png);
    if (status == CAIRO_STATUS_SUCCESS)
        return png;
    problem = cairo_status_to_string(status);
    return "";
}

} // namespace qsim
