#include "picture_files.h"

#include <fstream>
#include <iterator>

namespace {

uint32_t U32(const std::string& s, size_t at) {
    return uint32_t(uint8_t(s[at])) | uint32_t(uint8_t(s[at + 1])) << 8 | uint32_t(uint8_t(s[at + 2])) << 16 |
           uint32_t(uint8_t(s[at + 3])) << 24;
}
uint16_t U16(const std::string& s, size_t at) { return uint16_t(uint8_t(s[at]) | uint8_t(s[at + 1]) << 8); }

}  // namespace

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Dib ReadDib(const std::string& path, bool fileHeader) {
    Dib d;
    d.file = ReadFile(path);
    const size_t base = fileHeader ? 14 : 0;
    if (d.file.size() < base + 40 || (fileHeader && d.file.compare(0, 2, "BM") != 0)) return d;
    if (U32(d.file, base) != 40 || U32(d.file, base + 16) != 0) return d;  // BITMAPINFOHEADER, BI_RGB
    d.width = int32_t(U32(d.file, base + 4));
    d.height = int32_t(U32(d.file, base + 8));
    d.bits = U16(d.file, base + 14);
    if (d.width <= 0 || d.height <= 0 || (d.bits != 24 && d.bits != 32)) return d;
    const int rows = fileHeader ? d.height : d.height / 2;
    const size_t stride = (size_t(d.width) * d.bits + 31) / 32 * 4;
    const size_t pixels = base + 40;
    if (d.file.size() < pixels + stride * rows) return d;
    d.rgba.resize(size_t(d.width) * rows * 4);
    for (int y = 0; y < rows; ++y) {
        const size_t row = pixels + stride * (rows - 1 - y);  // stored bottom-up
        for (int x = 0; x < d.width; ++x) {
            const size_t at = row + size_t(x) * (d.bits / 8);
            uint8_t* out = &d.rgba[(size_t(y) * d.width + x) * 4];
            out[0] = uint8_t(d.file[at + 2]);
            out[1] = uint8_t(d.file[at + 1]);
            out[2] = uint8_t(d.file[at]);
            out[3] = d.bits == 32 ? uint8_t(d.file[at + 3]) : 255;
        }
    }
    d.ok = true;
    return d;
}

std::vector<IconEntry> ReadIconGroup(const std::string& path) {
    const std::string s = ReadFile(path);
    std::vector<IconEntry> out;
    if (s.size() < 6 || U16(s, 0) != 0 || U16(s, 2) != 1) return out;
    const int count = U16(s, 4);
    for (int i = 0; i < count && 6 + 14 * size_t(i + 1) <= s.size(); ++i) {
        const size_t at = 6 + 14 * size_t(i);
        const int w = uint8_t(s[at]), h = uint8_t(s[at + 1]);
        out.push_back({w == 0 ? 256 : w, h == 0 ? 256 : h, U16(s, at + 6), U32(s, at + 8), U16(s, at + 12)});
    }
    return out;
}
