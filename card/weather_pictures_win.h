#pragma once
#include <windows.h>

// The 49 condition pictures, loaded once with the card.
class WeatherPictures {
public:
    WeatherPictures() = default;
    WeatherPictures(const WeatherPictures&) = delete;
    WeatherPictures& operator=(const WeatherPictures&) = delete;

    bool Load(HINSTANCE instance);          // false if resources are missing
    ~WeatherPictures();
    // Draws picture n (1..49) with its top-left corner at (x, y), letting the
    // destination (white) show through the transparent parts. n outside 1..49 draws nothing.
    void Draw(HDC dc, int x, int y, int n) const;
    static const int kCount = 49, kSize = 52;

private:
    // All pictures in one top-down 32-bit strip, picture n at row (n - 1) * kSize,
    // colours premultiplied by alpha as AlphaBlend wants them.
    HBITMAP strip_ = nullptr;
};

HICON LoadAppIcon(HINSTANCE instance, int size);  // from icon group 1, the size asked (LoadImageA)
HBITMAP LoadOptionsPicture(HINSTANCE instance);   // 77 x 28
