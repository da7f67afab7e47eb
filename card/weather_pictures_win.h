#pragma once
#include <winsock2.h>  // before windows.h, which would pull in the old winsock
#include <windows.h>

// The 49 condition pictures. The exe stores each distinct drawing once, as a
// PNG composed on the white of the card's picture box; a picture is decoded
// the first time the card shows it and kept while the card lives.
class WeatherPictures {
public:
    WeatherPictures() = default;
    WeatherPictures(const WeatherPictures&) = delete;
    WeatherPictures& operator=(const WeatherPictures&) = delete;

    // Reads which stored drawing each picture shows; decodes nothing.
    // False if that table is missing from the resources.
    bool Load(HINSTANCE instance);
    ~WeatherPictures();
    // Draws picture n (1..49) with its top-left corner at (x, y), as it shows
    // on the picture box's white. n outside 1..49 draws nothing.
    void Draw(HDC dc, int x, int y, int n, int dpi);
    int DecodedCount() const;  // distinct pictures decoded so far
    static const int kCount = 49, kSize = 52;

private:
    HINSTANCE instance_ = nullptr;
    const BYTE* shows_ = nullptr;     // shows_[n - 1]: number of the stored picture n shows
    HBITMAP decoded_[kCount] = {};   // by stored picture number - 1; null until first drawn
};

HICON LoadAppIcon(HINSTANCE instance, int size);  // from icon group 1, the size asked (LoadImageA)
HBITMAP LoadOptionsPicture(HINSTANCE instance);   // 77 x 28
