// Pictures drawn with Cairo.
#include <cairo.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>

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

// The canvas calls drawn with Cairo, in the host's font.
class CairoDrawing {
public:
    explicit CairoDrawing(cairo_t* cairo) : cairo_(cairo)
    {
        cairo_select_font_face(cairo, "DejaVu Sans Mono", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
        cairo_set_font_size(cairo, fontSize);
        cairo_font_extents(cairo, &font_);
    }
    void setColor(const std::uint8_t (&color)[4])
    {
        cairo_set_source_rgba(cairo_, color[0] / 255.0, color[1] / 255.0, color[2] / 255.0, color[3] / 255.0);
    }
    void fillBox(double x, double y, double width, double height)
    {
        cairo_rectangle(cairo_, x, y, width, height);
        cairo_fill(cairo_);
    }
    void drawString(double x, double y, double xScale, double yScale, const std::string& text)
    {
        cairo_save(cairo_);
        cairo_translate(cairo_, x, y);
        cairo_scale(cairo_, xScale, yScale);
        cairo_move_to(cairo_, 0, font_.ascent);
        cairo_show_text(cairo_, text.c_str());
        cairo_restore(cairo_);
    }

private:
    cairo_t* cairo_;
    cairo_font_extents_t font_{};
};

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
    CairoDrawing drawing(cairo.get());
    replayCalls(calls, drawing);
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
