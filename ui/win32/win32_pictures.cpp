// Fonts and pictures of the Win32 backend: the "Trebuchet MS" sizes, and the decoded
// pictures turned into the bitmaps menus, image lists, buttons and statics draw.
#include "ui/win32/win32_internal.h"

namespace velmo::ui::win32 {

HFONT fontFor(FontRole role, bool underline) {
    static std::mutex m;
    static HFONT fonts[4][2] = {};
    if (role == FontRole::None) return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    std::lock_guard lock(m);
    HFONT& f = fonts[static_cast<int>(role)][underline ? 1 : 0];
    if (!f) {
        int points = role == FontRole::Text8 ? 8 : role == FontRole::Text9 ? 9 : 10;
        HDC dc = GetDC(nullptr);
        int height = -MulDiv(points, GetDeviceCaps(dc, LOGPIXELSY), 72);
        ReleaseDC(nullptr, dc);
        f = CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, underline ? TRUE : FALSE, FALSE, DEFAULT_CHARSET,
                        OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                        L"Trebuchet MS");
    }
    return f;
}

bool usable(const Image& img) {
    return img.width > 0 && img.height > 0 &&
           img.rgba.size() == static_cast<std::size_t>(img.width) * img.height * 4;
}

HBITMAP makeDib(int w, int h, std::uint8_t** bits) {
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;  // top-down rows, like Image
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* p = nullptr;
    HBITMAP bmp = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &p, nullptr, 0);
    *bits = static_cast<std::uint8_t*>(p);
    return bmp;
}

HBITMAP premultipliedBitmap(const Image& img) {
    if (!usable(img)) return nullptr;
    std::uint8_t* bits = nullptr;
    HBITMAP bmp = makeDib(img.width, img.height, &bits);
    if (!bmp) return nullptr;
    for (std::size_t i = 0; i < img.rgba.size(); i += 4) {
        unsigned a = img.rgba[i + 3];
        bits[i + 0] = static_cast<std::uint8_t>(img.rgba[i + 2] * a / 255);
        bits[i + 1] = static_cast<std::uint8_t>(img.rgba[i + 1] * a / 255);
        bits[i + 2] = static_cast<std::uint8_t>(img.rgba[i + 0] * a / 255);
        bits[i + 3] = static_cast<std::uint8_t>(a);
    }
    return bmp;
}

HBITMAP composedBitmap(const Image& img, COLORREF background) {
    if (!usable(img)) return nullptr;
    std::uint8_t* bits = nullptr;
    HBITMAP bmp = makeDib(img.width, img.height, &bits);
    if (!bmp) return nullptr;
    const unsigned br = GetRValue(background), bg = GetGValue(background), bb = GetBValue(background);
    for (std::size_t i = 0; i < img.rgba.size(); i += 4) {
        unsigned a = img.rgba[i + 3];
        bits[i + 0] = static_cast<std::uint8_t>((img.rgba[i + 2] * a + bb * (255 - a)) / 255);
        bits[i + 1] = static_cast<std::uint8_t>((img.rgba[i + 1] * a + bg * (255 - a)) / 255);
        bits[i + 2] = static_cast<std::uint8_t>((img.rgba[i + 0] * a + br * (255 - a)) / 255);
        bits[i + 3] = 255;
    }
    return bmp;
}

}  // namespace velmo::ui::win32
