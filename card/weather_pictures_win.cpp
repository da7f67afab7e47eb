#include "card/weather_pictures_win.h"

#include <cstdint>

#include "resources/resource_ids.h"

namespace {

// The packed bitmap of a resource: header followed by 32-bit pixels, or null
// when the resource is missing or not a 52 x 52, 32-bit uncompressed picture.
const BITMAPINFOHEADER* PictureResource(HINSTANCE instance, int id, DWORD& size) {
    HRSRC found = FindResourceA(instance, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(2) /* RT_BITMAP */);
    if (!found) return nullptr;
    HGLOBAL loaded = LoadResource(instance, found);
    if (!loaded) return nullptr;
    size = SizeofResource(instance, found);
    auto* head = static_cast<const BITMAPINFOHEADER*>(LockResource(loaded));
    const DWORD pixels = WeatherPictures::kSize * WeatherPictures::kSize * 4;
    if (!head || size < sizeof(BITMAPINFOHEADER) || head->biSize < sizeof(BITMAPINFOHEADER) ||
        head->biWidth != WeatherPictures::kSize ||
        (head->biHeight != WeatherPictures::kSize && head->biHeight != -WeatherPictures::kSize) ||
        head->biBitCount != 32 || head->biCompression != BI_RGB || size < head->biSize + pixels)
        return nullptr;
    return head;
}

}  // namespace

bool WeatherPictures::Load(HINSTANCE instance) {
    if (strip_) return true;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = kSize;
    info.bmiHeader.biHeight = -kSize * kCount;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP strip = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!strip || !bits) return false;

    const int rowBytes = kSize * 4;
    auto* out = static_cast<uint8_t*>(bits);
    for (int n = 1; n <= kCount; ++n) {
        DWORD size = 0;
        const BITMAPINFOHEADER* head = PictureResource(instance, IDB_WEATHER_BASE + n, size);
        if (!head) {
            DeleteObject(strip);
            return false;
        }
        const uint8_t* in = reinterpret_cast<const uint8_t*>(head) + head->biSize;
        const bool bottomUp = head->biHeight > 0;
        for (int y = 0; y < kSize; ++y) {
            const uint8_t* src = in + (bottomUp ? kSize - 1 - y : y) * rowBytes;
            uint8_t* dst = out + ((n - 1) * kSize + y) * rowBytes;
            for (int x = 0; x < kSize; ++x, src += 4, dst += 4) {
                const unsigned a = src[3];
                for (int c = 0; c < 3; ++c) dst[c] = static_cast<uint8_t>((src[c] * a + 127) / 255);
                dst[3] = static_cast<uint8_t>(a);
            }
        }
    }
    GdiFlush();
    strip_ = strip;
    return true;
}

WeatherPictures::~WeatherPictures() {
    if (strip_) DeleteObject(strip_);
}

void WeatherPictures::Draw(HDC dc, int x, int y, int n) const {
    if (!strip_ || n < 1 || n > kCount) return;
    HDC source = CreateCompatibleDC(dc);
    if (!source) return;
    HGDIOBJ old = SelectObject(source, strip_);
    BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    AlphaBlend(dc, x, y, kSize, kSize, source, 0, (n - 1) * kSize, kSize, kSize, blend);
    SelectObject(source, old);
    DeleteDC(source);
}

HICON LoadAppIcon(HINSTANCE instance, int size) {
    return static_cast<HICON>(
        LoadImageA(instance, MAKEINTRESOURCEA(IDI_APP), IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
}

HBITMAP LoadOptionsPicture(HINSTANCE instance) {
    return static_cast<HBITMAP>(
        LoadImageA(instance, MAKEINTRESOURCEA(IDB_OPTIONS_PICTURE), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
}
