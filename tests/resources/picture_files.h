#pragma once
// Reads the generated picture files the exe embeds: .bmp (packed DIB after a
// 14-byte file header), icon images and the icon group.
#include <cstdint>
#include <string>
#include <vector>

struct Dib {
    bool ok = false;
    int width = 0, height = 0, bits = 0;  // height as stored (icons: colour + mask rows)
    std::string file;                     // the whole file, for byte comparisons
    std::vector<uint8_t> rgba;            // top row first, colour rows only
};

std::string ReadFile(const std::string& path);
// `fileHeader` is true for .bmp files, false for raw icon images.
Dib ReadDib(const std::string& path, bool fileHeader);

struct IconEntry {
    int width, height, bits;
    uint32_t bytes;
    int id;
};
std::vector<IconEntry> ReadIconGroup(const std::string& path);
