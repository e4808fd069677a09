// Pictures drawn with the system's own imaging: the Windows Imaging Component
// decodes and encodes PNG and scales a background, GDI draws the boxes and the text.
#include <wincodec.h>
#include <windows.h>
#include <wrl/client.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <string>
#include <system_error>
#include <vector>

#include "conversions.h"
#include "picture.h"

namespace qsim {
namespace {

using Microsoft::WRL::ComPtr;

// The host's font at text scale 1: a line fits the 16-pixel line step. Consolas is
// on every desktop Windows; elsewhere (Wine) the font mapper picks a fixed-pitch one.
constexpr int fontSize = 10;
constexpr wchar_t fontFace[] = L"Consolas";

// The system's words for a failed call, with its code.
std::string says(HRESULT result)
{
    char code[16];
    std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(result));
    std::string words = std::system_category().message(static_cast<int>(result));
    while (!words.empty() && (words.back() == '\n' || words.back() == '\r' || words.back() == '.'))
        words.pop_back();
    return "the system's imaging failed (" + std::string(code) + (words.empty() ? "" : ": " + words) + ")";
}

// COM for the calls of one picture: joined here, left when done unless the thread
// was already in it.
class Apartment {
public:
    Apartment() : joined_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) {}
    ~Apartment()
    {
        if (joined_)
            CoUninitialize();
    }
    Apartment(const Apartment&) = delete;
    Apartment& operator=(const Apartment&) = delete;

private:
    bool joined_;
};

HRESULT imagingFactory(ComPtr<IWICImagingFactory>& factory)
{
    return CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&factory));
}

// A 32-bit top-down DIB selected into its own device context; GDI draws into it
// and its pixels (blue, green, red, unused) are read and written in place.
class Canvas {
public:
    Canvas(int width, int height) : width_(width), height_(height), dc_(CreateCompatibleDC(nullptr))
    {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        bits_ = static_cast<std::uint8_t*>(bits);
        if (dc_ != nullptr && bitmap_ != nullptr)
            previous_ = SelectObject(dc_, bitmap_);
    }
    ~Canvas()
    {
        if (previous_ != nullptr)
            SelectObject(dc_, previous_);
        if (bitmap_ != nullptr)
            DeleteObject(bitmap_);
        if (dc_ != nullptr)
            DeleteDC(dc_);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    bool made() const { return previous_ != nullptr && bits_ != nullptr; }
    HDC dc() const { return dc_; }
    int width() const { return width_; }
    int height() const { return height_; }
    UINT stride() const { return static_cast<UINT>(width_) * 4; }
    UINT size() const { return stride() * static_cast<UINT>(height_); }
    // The pixels, once GDI has finished what it was drawing.
    std::uint8_t* pixels() const
    {
        GdiFlush();
        return bits_;
    }
    // The pixel at (x, y) of those pixels.
    std::uint8_t* at(std::uint8_t* pixels, int x, int y) const
    {
        return pixels + static_cast<std::size_t>(y) * stride() + static_cast<std::size_t>(x) * 4;
    }

private:
    int width_, height_;
    HDC dc_;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ previous_ = nullptr;
    std::uint8_t* bits_ = nullptr;
};

// A box of whole pixels within the canvas.
struct Box {
    int left, top, right, bottom;
    bool empty() const { return left >= right || top >= bottom; }
};

Box within(const Canvas& canvas, double x0, double y0, double x1, double y1)
{
    const auto clamp = [](double value, int most) {
        return static_cast<int>(std::clamp(std::lround(value), 0L, static_cast<long>(most)));
    };
    return {clamp(std::min(x0, x1), canvas.width()), clamp(std::min(y0, y1), canvas.height()),
            clamp(std::max(x0, x1), canvas.width()), clamp(std::max(y0, y1), canvas.height())};
}

// Blends `colour` over the box with the given opacity, pixel by pixel.
void fill(const Canvas& canvas, Box box, const std::uint8_t (&colour)[4])
{
    std::uint8_t* pixels = canvas.pixels();
    const unsigned alpha = colour[3];
    const std::uint8_t bgr[3] = {colour[2], colour[1], colour[0]};
    for (int y = box.top; y < box.bottom; ++y) {
        std::uint8_t* pixel = canvas.at(pixels, box.left, y);
        for (int x = box.left; x < box.right; ++x, pixel += 4)
            for (int c = 0; c < 3; ++c)
                pixel[c] = static_cast<std::uint8_t>((bgr[c] * alpha + pixel[c] * (255 - alpha) + 127) / 255);
    }
}

void paintGradient(const Canvas& canvas)
{
    const auto channel = [](double value) { return static_cast<COLOR16>(std::lround(value * 255) << 8); };
    TRIVERTEX corners[2] = {
        {0, 0, channel(0.42), channel(0.47), channel(0.52), 0xff00},
        {canvas.width(), canvas.height(), channel(0.20), channel(0.23), channel(0.26), 0xff00},
    };
    GRADIENT_RECT rect{0, 1};
    GradientFill(canvas.dc(), corners, 2, &rect, 1, GRADIENT_FILL_RECT_V);
}

// Text keeps GDI's own smoothing; a colour that is not opaque is blended afterwards
// over what the text covered, as the drawn pixels against the ones before it.
void drawText(const Canvas& canvas, double x, double y, double scaleX, double scaleY, const std::string& text,
              const std::uint8_t (&colour)[4])
{
    const std::wstring units = files::unitsFromUtf8(text);
    const int length = static_cast<int>(std::min<std::size_t>(units.size(), INT_MAX));
    SIZE extent{};
    GetTextExtentPoint32W(canvas.dc(), units.c_str(), length, &extent);
    // Smoothing and italic overhang reach a little past the measured extent.
    const double margin = 2 + fontSize;
    const Box box = within(canvas, x - margin * std::abs(scaleX), y - margin * std::abs(scaleY),
                           x + (extent.cx + margin) * scaleX, y + (extent.cy + margin) * scaleY);
    std::vector<std::uint8_t> before;
    const bool blended = colour[3] != 255 && !box.empty();
    const std::size_t rowBytes = blended ? static_cast<std::size_t>(box.right - box.left) * 4 : 0;
    if (blended) {
        std::uint8_t* pixels = canvas.pixels();
        for (int row = box.top; row < box.bottom; ++row) {
            const std::uint8_t* from = canvas.at(pixels, box.left, row);
            before.insert(before.end(), from, from + rowBytes);
        }
    }
    const XFORM transform{static_cast<FLOAT>(scaleX), 0, 0, static_cast<FLOAT>(scaleY), static_cast<FLOAT>(x),
                          static_cast<FLOAT>(y)};
    SetWorldTransform(canvas.dc(), &transform);
    SetTextColor(canvas.dc(), RGB(colour[0], colour[1], colour[2]));
    TextOutW(canvas.dc(), 0, 0, units.c_str(), length);
    ModifyWorldTransform(canvas.dc(), nullptr, MWT_IDENTITY);
    if (!blended)
        return;
    std::uint8_t* pixels = canvas.pixels();
    const unsigned alpha = colour[3];
    const std::uint8_t* old = before.data();
    for (int row = box.top; row < box.bottom; ++row) {
        std::uint8_t* now = canvas.at(pixels, box.left, row);
        for (std::size_t i = 0; i < rowBytes; ++i, ++old)
            now[i] = static_cast<std::uint8_t>((now[i] * alpha + *old * (255 - alpha) + 127) / 255);
    }
}

// The canvas calls drawn with GDI onto the canvas, in the colour last set.
class GdiDrawing {
public:
    explicit GdiDrawing(const Canvas& canvas) : canvas_(canvas) {}
    void setColor(const std::uint8_t (&color)[4]) { std::copy_n(color, 4, colour_); }
    void fillBox(double x, double y, double width, double height)
    {
        fill(canvas_, within(canvas_, x, y, x + width, y + height), colour_);
    }
    void drawString(double x, double y, double xScale, double yScale, const std::string& text)
    {
        drawText(canvas_, x, y, xScale, yScale, text, colour_);
    }

private:
    const Canvas& canvas_;
    std::uint8_t colour_[4] = {0, 0, 0, 255};
};

// The canvas as PNG bytes: opaque, so written as 24-bit colour.
HRESULT encode(IWICImagingFactory* factory, const Canvas& canvas, std::string& png)
{
    ComPtr<IWICBitmap> bitmap;
    ComPtr<IStream> memory;
    ComPtr<IWICBitmapEncoder> encoder;
    ComPtr<IWICBitmapFrameEncode> frame;
    ComPtr<IPropertyBag2> options;
    HRESULT result = factory->CreateBitmapFromMemory(
        static_cast<UINT>(canvas.width()), static_cast<UINT>(canvas.height()), GUID_WICPixelFormat32bppBGR,
        canvas.stride(), canvas.size(), canvas.pixels(), &bitmap);
    if (SUCCEEDED(result))
        result = CreateStreamOnHGlobal(nullptr, TRUE, &memory);
    if (SUCCEEDED(result))
        result = factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, &encoder);
    if (SUCCEEDED(result))
        result = encoder->Initialize(memory.Get(), WICBitmapEncoderNoCache);
    if (SUCCEEDED(result))
        result = encoder->CreateNewFrame(&frame, &options);
    if (SUCCEEDED(result))
        result = frame->Initialize(options.Get());
    if (SUCCEEDED(result))
        result = frame->SetSize(static_cast<UINT>(canvas.width()), static_cast<UINT>(canvas.height()));
    WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
    if (SUCCEEDED(result))
        result = frame->SetPixelFormat(&format);
    if (SUCCEEDED(result))
        result = frame->WriteSource(bitmap.Get(), nullptr);
    if (SUCCEEDED(result))
        result = frame->Commit();
    if (SUCCEEDED(result))
        result = encoder->Commit();
    HGLOBAL global = nullptr;
    STATSTG stat{};
    if (SUCCEEDED(result))
        result = GetHGlobalFromStream(memory.Get(), &global);
    if (SUCCEEDED(result))
        result = memory->Stat(&stat, STATFLAG_NONAME);
    if (FAILED(result))
        return result;
    const void* bytes = GlobalLock(global);
    if (bytes == nullptr)
        return E_OUTOFMEMORY;
    png.assign(static_cast<const char*>(bytes), static_cast<std::size_t>(stat.cbSize.QuadPart));
    GlobalUnlock(global);
    return S_OK;
}

} // namespace

// Decoded once, at its own size; scaled to the desktop for each picture.
struct BackgroundImage {
    UINT width = 0, height = 0;
    std::vector<std::uint8_t> pixels; // 32-bit blue, green, red, unused; top-down
};

namespace {

HRESULT paintBackground(IWICImagingFactory* factory, const Canvas& canvas, const BackgroundImage& image)
{
    ComPtr<IWICBitmap> bitmap;
    ComPtr<IWICBitmapScaler> scaler;
    HRESULT result = factory->CreateBitmapFromMemory(image.width, image.height, GUID_WICPixelFormat32bppBGR,
                                                     image.width * 4, static_cast<UINT>(image.pixels.size()),
                                                     const_cast<BYTE*>(image.pixels.data()), &bitmap);
    if (SUCCEEDED(result))
        result = factory->CreateBitmapScaler(&scaler);
    if (SUCCEEDED(result))
        result = scaler->Initialize(bitmap.Get(), static_cast<UINT>(canvas.width()),
                                    static_cast<UINT>(canvas.height()), WICBitmapInterpolationModeFant);
    if (SUCCEEDED(result))
        result = scaler->CopyPixels(nullptr, canvas.stride(), canvas.size(), canvas.pixels());
    return result;
}

} // namespace

std::shared_ptr<const BackgroundImage> decodePicture(const std::string& png, int width, int height,
                                                     std::string& problem)
{
    Apartment com;
    ComPtr<IWICImagingFactory> factory;
    ComPtr<IWICStream> stream;
    ComPtr<IWICBitmapDecoder> decoder;
    ComPtr<IWICBitmapFrameDecode> frame;
    ComPtr<IWICBitmapSource> converted;
    auto image = std::make_shared<BackgroundImage>();
    image->width = static_cast<UINT>(width);
    image->height = static_cast<UINT>(height);
    HRESULT result = imagingFactory(factory);
    if (SUCCEEDED(result))
        result = factory->CreateStream(&stream);
    if (SUCCEEDED(result))
        result = stream->InitializeFromMemory(reinterpret_cast<BYTE*>(const_cast<char*>(png.data())),
                                              static_cast<DWORD>(png.size()));
    if (FAILED(result)) {
        problem = says(result);
        return nullptr;
    }
    // From here a failure is the file's, whatever the decoder calls it, as with Cairo.
    result =
        factory->CreateDecoderFromStream(stream.Get(), nullptr, WICDecodeMetadataCacheOnDemand, &decoder);
    if (SUCCEEDED(result))
        result = decoder->GetFrame(0, &frame);
    if (SUCCEEDED(result))
        result = WICConvertBitmapSource(GUID_WICPixelFormat32bppBGR, frame.Get(), &converted);
    if (SUCCEEDED(result)) {
        try {
            image->pixels.resize(std::size_t{image->width} * image->height * 4);
        } catch (const std::bad_alloc&) {
            result = E_OUTOFMEMORY;
        }
    }
    if (SUCCEEDED(result))
        result = converted->CopyPixels(nullptr, image->width * 4, static_cast<UINT>(image->pixels.size()),
                                       image->pixels.data());
    if (SUCCEEDED(result))
        return image;
    problem = result == E_OUTOFMEMORY ? says(result) : "its image data is damaged";
    return nullptr;
}

bool picturesAvailable() { return true; }

std::string renderPicture(std::span<const simhost::CanvasCall> calls, int width, int height,
                          const BackgroundImage* background, std::string& problem)
{
    Apartment com;
    ComPtr<IWICImagingFactory> factory;
    if (const HRESULT result = imagingFactory(factory); FAILED(result)) {
        problem = says(result);
        return "";
    }
    const Canvas canvas(width, height);
    if (!canvas.made()) {
        problem = "not enough memory for a picture of " + std::to_string(width) + " x " +
                  std::to_string(height) + " pixels";
        return "";
    }
    if (background != nullptr) {
        if (const HRESULT result = paintBackground(factory.Get(), canvas, *background); FAILED(result)) {
            problem = says(result);
            return "";
        }
    } else {
        paintGradient(canvas);
    }
    const HFONT font =
        CreateFontW(-fontSize, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_TT_ONLY_PRECIS,
                    CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, FIXED_PITCH | FF_MODERN, fontFace);
    const HGDIOBJ previousFont = SelectObject(canvas.dc(), font);
    SetGraphicsMode(canvas.dc(), GM_ADVANCED);
    SetBkMode(canvas.dc(), TRANSPARENT);
    SetTextAlign(canvas.dc(), TA_TOP | TA_LEFT | TA_NOUPDATECP);
    GdiDrawing drawing(canvas);
    replayCalls(calls, drawing);
    SelectObject(canvas.dc(), previousFont);
    DeleteObject(font);
    std::string png;
    if (const HRESULT result = encode(factory.Get(), canvas, png); FAILED(result)) {
        problem = says(result);
        return "";
    }
    return png;
}

} // namespace qsim
