#include "card/weather_pictures_win.h"

#include "app/drawing_win.h"
#include "app/picture_resource_win.h"
#include "resources/resource_ids.h"

bool WeatherPictures::Load(HINSTANCE instance) {
    if (shows_) return true;
    HRSRC found = FindResourceA(instance, MAKEINTRESOURCEA(IDR_WEATHER_INDEX), MAKEINTRESOURCEA(10) /* RT_RCDATA */);
    HGLOBAL loaded = found ? LoadResource(instance, found) : nullptr;
    auto* shows = loaded ? static_cast<const BYTE*>(LockResource(loaded)) : nullptr;
    if (!shows || SizeofResource(instance, found) < kCount) return false;
    for (int i = 0; i < kCount; ++i)
        if (shows[i] < 1 || shows[i] > kCount) return false;
    instance_ = instance;
    shows_ = shows;
    return true;
}

WeatherPictures::~WeatherPictures() {
    for (HBITMAP b : decoded_)
        if (b) DeleteObject(b);
}

int WeatherPictures::DecodedCount() const {
    int count = 0;
    for (HBITMAP b : decoded_) count += b != nullptr;
    return count;
}

void WeatherPictures::Draw(HDC dc, int x, int y, int n, int dpi) {
    if (!shows_ || n < 1 || n > kCount) return;
    const int stored = shows_[n - 1];
    HBITMAP& picture = decoded_[stored - 1];
    if (!picture) {
        picture = LoadPngPicture(instance_, IDB_WEATHER_BASE + stored);
        BITMAP b = {};
        if (picture && (!GetObject(picture, sizeof b, &b) || b.bmWidth != kSize || b.bmHeight != kSize)) {
            DeleteObject(picture);
            picture = nullptr;
        }
        if (!picture) return;
    }
    HDC source = CreateCompatibleDC(dc);
    if (!source) return;
    HGDIOBJ old = SelectObject(source, picture);
    DrawScaled(dc, x, y, source, kSize, kSize, dpi);
    SelectObject(source, old);
    DeleteDC(source);
}

HICON LoadAppIcon(HINSTANCE instance, int size) {
    return static_cast<HICON>(
        LoadImageA(instance, MAKEINTRESOURCEA(IDI_APP), IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
}

// The card's first paint shows it: GDI decodes it, without loading COM and a codec.
HBITMAP LoadOptionsPicture(HINSTANCE instance) { return LoadRlePicture(instance, IDB_OPTIONS_PICTURE); }
