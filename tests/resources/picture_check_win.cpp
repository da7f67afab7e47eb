// Loads the pictures from its own resources the way the card does and draws
// all 49 onto white, so a test can compare what Windows shows with the
// generated pixels. Usage: picture_check.exe sheet.bmp
// Prints one "name value..." line per fact; exit code 0 when everything loaded.
#include <windows.h>

#include <cstdio>
#include <vector>

#include "card/weather_pictures_win.h"
#include "options/options_background_win.h"

namespace {

const int kCols = 7, kRows = 8;  // row 8: pictures 0 and 50, which must draw nothing

bool WriteBmp(const char* path, const void* bits, int width, int height) {
    const int stride = width * 4;
    BITMAPFILEHEADER file = {};
    BITMAPINFOHEADER info = {};
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = -height;
    info.biPlanes = 1;
    info.biBitCount = 32;
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + stride * height;
    FILE* f = std::fopen(path, "wb");
    if (!f) return false;
    bool ok = std::fwrite(&file, sizeof file, 1, f) == 1 && std::fwrite(&info, sizeof info, 1, f) == 1 &&
              std::fwrite(bits, stride * height, 1, f) == 1;
    return std::fclose(f) == 0 && ok;
}

void ReportIcon(HINSTANCE instance, int size) {
    HICON icon = LoadAppIcon(instance, size);
    ICONINFO info = {};
    BITMAP colour = {};
    if (icon && GetIconInfo(icon, &info) && info.hbmColor) GetObject(info.hbmColor, sizeof colour, &colour);
    std::printf("icon %d %d %d\n", size, int(colour.bmWidth), int(colour.bmHeight));
    if (info.hbmColor) DeleteObject(info.hbmColor);
    if (info.hbmMask) DeleteObject(info.hbmMask);
    if (icon) DestroyIcon(icon);
}

void ReportBitmap(const char* name, HBITMAP bitmap) {
    BITMAP b = {};
    if (bitmap) GetObject(bitmap, sizeof b, &b);
    std::printf("%s %d %d %d\n", name, int(b.bmWidth), int(b.bmHeight), int(b.bmBitsPixel));
    if (bitmap) DeleteObject(bitmap);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WeatherPictures pictures;
    const bool loaded = pictures.Load(instance);
    std::printf("loaded %d\n", loaded ? 1 : 0);

    const int size = WeatherPictures::kSize, width = kCols * size, height = kRows * size;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP sheet = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(dc, sheet);
    RECT all = {0, 0, width, height};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    for (int n = 1; n <= WeatherPictures::kCount; ++n)
        pictures.Draw(dc, (n - 1) % kCols * size, (n - 1) / kCols * size, n);
    pictures.Draw(dc, 0, 7 * size, 0);
    pictures.Draw(dc, size, 7 * size, 50);
    GdiFlush();
    const bool written = WriteBmp(argv[1], bits, width, height);
    std::printf("sheet %d %d %d\n", written ? 1 : 0, width, height);
    SelectObject(dc, old);
    DeleteObject(sheet);
    DeleteDC(dc);

    for (int s : {108, 48, 32, 16}) ReportIcon(instance, s);
    ReportBitmap("options_picture", LoadOptionsPicture(instance));
    ReportBitmap("options_background", LoadOptionsBackground(instance));
    std::fflush(stdout);
    return loaded && written ? 0 : 1;
}
