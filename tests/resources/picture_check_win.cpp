// Loads the pictures from its own resources the way the card does and draws
// all 49 onto white, and the options picture and the dialog's map as they are
// blitted, so a test can compare what Windows shows with the generated pixels.
// Usage: picture_check.exe sheet.bmp options.bmp map.bmp
// Prints one "name value..." line per fact; exit code 0 when everything loaded.
#include "app/drawing_win.h"  // first: it includes winsock2.h before windows.h

#include <cstdio>

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

// A white 32-bit sheet to draw on, written to a .bmp file.
class Sheet {
public:
    Sheet(int width, int height) : width_(width), height_(height) {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        dc_ = CreateCompatibleDC(nullptr);
        bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits_, nullptr, 0);
        old_ = SelectObject(dc_, bitmap_);
        RECT all = {0, 0, width, height};
        FillRect(dc_, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    }
    ~Sheet() {
        SelectObject(dc_, old_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    HDC Dc() const { return dc_; }
    bool Write(const char* path) {
        GdiFlush();
        return bits_ && WriteBmp(path, bits_, width_, height_);
    }

private:
    int width_, height_;
    HDC dc_;
    HBITMAP bitmap_;
    HGDIOBJ old_;
    void* bits_ = nullptr;
};

// Reports a dialog picture's size and depth and writes it as the card and the
// dialog draw it (DrawBitmap: a plain blit from the top-left corner).
bool ReportBitmap(const char* name, HBITMAP bitmap, const char* path) {
    BITMAP b = {};
    if (bitmap) GetObject(bitmap, sizeof b, &b);
    std::printf("%s %d %d %d\n", name, int(b.bmWidth), int(b.bmHeight), int(b.bmBitsPixel));
    if (!bitmap) return false;
    Sheet sheet(b.bmWidth, b.bmHeight);
    DrawBitmap(sheet.Dc(), bitmap, 96);
    DeleteObject(bitmap);
    return sheet.Write(path);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) return 2;
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WeatherPictures pictures;
    const bool loaded = pictures.Load(instance);
    std::printf("loaded %d\n", loaded ? 1 : 0);

    const int size = WeatherPictures::kSize, width = kCols * size, height = kRows * size;
    std::printf("decoded_before_drawing %d\n", pictures.DecodedCount());
    Sheet sheet(width, height);
    for (int round = 0; round < 2; ++round)  // the second round draws from what the first decoded
        for (int n = 1; n <= WeatherPictures::kCount; ++n)
            pictures.Draw(sheet.Dc(), (n - 1) % kCols * size, (n - 1) / kCols * size, n, 96);
    pictures.Draw(sheet.Dc(), 0, 7 * size, 0, 96);
    pictures.Draw(sheet.Dc(), size, 7 * size, 50, 96);
    std::printf("decoded %d\n", pictures.DecodedCount());
    const bool written = sheet.Write(argv[1]);
    std::printf("sheet %d %d %d\n", written ? 1 : 0, width, height);

    for (int s : {108, 48, 32, 16}) ReportIcon(instance, s);
    const bool dialog = ReportBitmap("options_picture", LoadOptionsPicture(instance), argv[2]) &&
                        ReportBitmap("options_background", LoadOptionsBackground(instance), argv[3]);
    std::fflush(stdout);
    return loaded && written && dialog ? 0 : 1;
}
