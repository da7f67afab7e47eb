// Checks the generated pictures the exe embeds: the condition picture list
// against the feed's condition table, and the icon, options picture and map.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "feed/forecast_parser.h"
#include "feed_sample.h"
#include "picture_files.h"

namespace {

const std::string kDir = CLOUDWICK_GENERATED_DIR;

std::string WeatherPath(int n) {
    char name[32];
    std::snprintf(name, sizeof name, "/weather_%02d.bmp", n);
    return kDir + name;
}

const Dib& Picture(int n) {
    static std::map<int, Dib> cache;
    auto it = cache.find(n);
    if (it == cache.end()) it = cache.emplace(n, ReadDib(WeatherPath(n), true)).first;
    return it->second;
}

// Pictures that show one drawing, by picture number (condition code + 1),
// as the card's condition table lists them.
const std::vector<std::vector<int>> kSharing = {
    {1, 4, 5, 18, 36}, {2, 3}, {6}, {7, 19}, {8}, {9}, {10}, {11}, {12}, {13, 40, 41}, {14}, {15},
    {16}, {17, 42, 43}, {20}, {21}, {22}, {23}, {24, 25}, {26}, {27}, {28}, {29}, {30}, {31, 45},
    {32}, {33}, {34}, {35}, {37}, {38, 39}, {44}, {46}, {47}, {48}, {49},
};

// Share of pixels whose colour on white differs by more than a faint amount.
double DifferentShare(const Dib& a, const Dib& b) {
    int differ = 0;
    const int count = a.width * a.height;
    for (int i = 0; i < count; ++i) {
        int most = 0;
        for (int c = 0; c < 3; ++c) {
            auto onWhite = [&](const Dib& d) {
                const int alpha = d.rgba[i * 4 + 3];
                return (d.rgba[i * 4 + c] * alpha + 255 * (255 - alpha)) / 255;
            };
            const int diff = std::abs(onWhite(a) - onWhite(b));
            if (diff > most) most = diff;
        }
        if (most > 24) ++differ;
    }
    return double(differ) / count;
}

int PictureForCode(const std::string& code) {
    FeedSample sample;
    sample.code = code;
    ForecastResult r = ParseForecast(sample.Reply(), 0);
    EXPECT_TRUE(r.ok) << "code " << code << ": " << r.error;
    return r.picture;
}

}  // namespace

TEST(ConditionPictures, FortyNineOf52x52With32BitAlpha) {
    for (int n = 1; n <= 49; ++n) {
        const Dib& d = Picture(n);
        ASSERT_TRUE(d.ok) << WeatherPath(n) << " missing or not a plain bitmap";
        EXPECT_EQ(d.width, 52) << "picture " << n;
        EXPECT_EQ(d.height, 52) << "picture " << n;
        EXPECT_EQ(d.bits, 32) << "picture " << n;
    }
    EXPECT_FALSE(std::filesystem::exists(WeatherPath(50))) << "the list holds exactly 49 pictures";
}

TEST(ConditionPictures, SharingFollowsTheConditionTable) {
    std::set<int> listed;
    for (const auto& group : kSharing)
        for (int n : group) EXPECT_TRUE(listed.insert(n).second) << n << " listed twice";
    ASSERT_EQ(listed.size(), 49u);
    ASSERT_EQ(kSharing.size(), 36u);

    for (const auto& group : kSharing)
        for (int n : group)
            EXPECT_EQ(Picture(n).file, Picture(group[0]).file)
                << "pictures " << group[0] << " and " << n << " must be byte-identical copies";
    std::set<std::string> distinct;
    for (int n = 1; n <= 49; ++n) distinct.insert(Picture(n).file);
    EXPECT_EQ(distinct.size(), 36u);
    for (size_t i = 0; i < kSharing.size(); ++i)
        for (size_t j = i + 1; j < kSharing.size(); ++j)
            EXPECT_NE(Picture(kSharing[i][0]).file, Picture(kSharing[j][0]).file)
                << "pictures " << kSharing[i][0] << " and " << kSharing[j][0] << " must differ";
}

TEST(ConditionPictures, EachDrawingStoredOnceUnderItsFirstNumber) {
    // The exe stores weather_NN.png for the first picture of each drawing and
    // a table saying which stored picture each of the 49 shows.
    const std::string index = ReadFile(kDir + "/weather_index.bin");
    ASSERT_EQ(index.size(), 49u);
    for (const auto& group : kSharing)
        for (int n : group) {
            EXPECT_EQ(uint8_t(index[n - 1]), group[0]) << "picture " << n;
            char name[32];
            std::snprintf(name, sizeof name, "/weather_%02d.png", n);
            EXPECT_EQ(std::filesystem::exists(kDir + name), n == group[0]) << name;
        }
}

TEST(ConditionPictures, EachDrawingIsVisiblyItsOwn) {
    // Codes 11 and 12 are two rain pictures, codes 31 and 33 two full moons:
    // they must look different, not differ by a stray pixel. So must every pair.
    EXPECT_GT(DifferentShare(Picture(12), Picture(13)), 0.08);
    EXPECT_GT(DifferentShare(Picture(32), Picture(34)), 0.08);
    for (size_t i = 0; i < kSharing.size(); ++i)
        for (size_t j = i + 1; j < kSharing.size(); ++j)
            EXPECT_GT(DifferentShare(Picture(kSharing[i][0]), Picture(kSharing[j][0])), 0.02)
                << "pictures " << kSharing[i][0] << " and " << kSharing[j][0] << " look alike";
}

TEST(ConditionPictures, TransparentAroundSmoothEdges) {
    for (const auto& group : kSharing) {
        const Dib& d = Picture(group[0]);
        ASSERT_TRUE(d.ok);
        int clear = 0, partial = 0;
        long ink = 0;  // covered area in pixels
        for (int i = 0; i < 52 * 52; ++i) {
            const int a = d.rgba[i * 4 + 3];
            clear += a == 0;
            ink += a;
            partial += a > 0 && a < 255;
            if (a == 0) {
                EXPECT_EQ(d.rgba[i * 4] | d.rgba[i * 4 + 1] | d.rgba[i * 4 + 2], 0) << "picture " << group[0];
            }
        }
        EXPECT_GT(clear, 52 * 52 / 5) << "picture " << group[0] << " lets too little white through";
        EXPECT_GT(ink / 255, 52 * 52 / 12) << "picture " << group[0] << " draws too little";
        EXPECT_GT(partial, 60) << "picture " << group[0] << " has jagged edges (no partial alpha)";
        const int corners[] = {0, 51, 51 * 52, 52 * 52 - 1};
        for (int c : corners) EXPECT_EQ(d.rgba[c * 4 + 3], 0) << "corner of picture " << group[0];
    }
}

TEST(ConditionPictures, FeedCodesReachTheirPictures) {
    for (int code = 0; code <= 47; ++code) EXPECT_EQ(PictureForCode(std::to_string(code)), code + 1);
    for (const char* code : {"48", "49", "3200", "999"}) EXPECT_EQ(PictureForCode(code), 49) << code;
    const Dib& na = Picture(PictureForCode("3200"));
    for (int n = 1; n <= 48; ++n) EXPECT_NE(na.file, Picture(n).file) << "N/A is its own picture";
    EXPECT_EQ(Picture(PictureForCode("30")).file, Picture(PictureForCode("44")).file);
    for (const char* code : {"39", "40"}) EXPECT_EQ(Picture(PictureForCode(code)).file, Picture(PictureForCode("12")).file);
    for (const char* code : {"3", "4", "17", "35"}) EXPECT_EQ(Picture(PictureForCode(code)).file, Picture(PictureForCode("0")).file);
    EXPECT_NE(Picture(PictureForCode("31")).file, Picture(PictureForCode("33")).file);
    EXPECT_NE(Picture(PictureForCode("11")).file, Picture(PictureForCode("12")).file);
}

TEST(AppIcon, GroupOneStartsWithThe108PixelImage) {
    std::vector<IconEntry> group = ReadIconGroup(kDir + "/app_icon_group.bin");
    ASSERT_EQ(group.size(), 4u);
    // The 16 and 32 px images are plain for older shells; 48 and 108 are PNG.
    const int sizes[] = {108, 16, 32, 48}, ids[] = {30001, 30002, 30003, 30004}, bits[] = {32, 24, 24, 32};
    for (size_t i = 0; i < group.size(); ++i) {
        SCOPED_TRACE(sizes[i]);
        EXPECT_EQ(group[i].width, sizes[i]);
        EXPECT_EQ(group[i].height, sizes[i]);
        EXPECT_EQ(group[i].bits, bits[i]);
        EXPECT_EQ(group[i].id, ids[i]);
        const std::string path = kDir + "/app_icon_" + std::to_string(sizes[i]) + ".dib";
        Dib image = ReadDib(path, false);
        ASSERT_TRUE(image.ok) << path;
        EXPECT_EQ(image.width, sizes[i]);
        EXPECT_EQ(image.height, sizes[i] * 2) << "colour and mask rows";
        EXPECT_EQ(image.bits, 24);
        const size_t colour = size_t(sizes[i] * 3 + 3) / 4 * 4 * sizes[i];
        const size_t mask = size_t(sizes[i] + 31) / 32 * 4 * sizes[i];
        EXPECT_EQ(image.file.size(), 40 + colour + mask);
        const std::string png = kDir + "/app_icon_" + std::to_string(sizes[i]) + ".png";
        EXPECT_EQ(group[i].bytes, bits[i] == 24 ? image.file.size() : ReadFile(png).size());
    }
}

TEST(AppIcon, FullMoonOnBlackInsideALightFrame) {
    for (int size : {108, 48, 32, 16}) {
        SCOPED_TRACE(size);
        Dib d = ReadDib(kDir + "/app_icon_" + std::to_string(size) + ".dib", false);
        ASSERT_TRUE(d.ok);
        auto grey = [&](int x, int y) {
            const uint8_t* p = &d.rgba[(size_t(y) * size + x) * 4];
            return (p[0] + p[1] + p[2]) / 3;
        };
        const int edge = size - 1, gap = size >= 48 ? 3 : 2, mid = size / 2;
        for (int i = 0; i < size; ++i) {  // the frame all round
            EXPECT_GT(grey(i, 0), 150);
            EXPECT_GT(grey(0, i), 150);
            EXPECT_GT(grey(i, edge), 150);
            EXPECT_GT(grey(edge, i), 150);
        }
        // Black between frame and moon, a bright disc in the middle.
        for (int p : {gap, edge - gap}) {
            EXPECT_LT(grey(p, p), 40);
            EXPECT_LT(grey(p, edge - p), 40);
        }
        EXPECT_GT(grey(mid, mid), 170);
        EXPECT_GT(grey(mid, size / 4), 170);
        EXPECT_GT(grey(size / 4, mid), 170);
        // 24-bit colour with an all-opaque mask: the square has no holes.
        const size_t maskStart = 40 + size_t(size * 3 + 3) / 4 * 4 * size;
        for (size_t i = maskStart; i < d.file.size(); ++i)
            if ((i - maskStart) % ((size + 31) / 32 * 4) < size_t(size) / 8) {
                EXPECT_EQ(uint8_t(d.file[i]), 0) << "mask byte " << i - maskStart;
            }
    }
}

TEST(DialogPictures, OptionsPictureIsGreyLetteringOnABlackGradient) {
    Dib d = ReadDib(kDir + "/options_picture.bmp", true);
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.width, 77);
    EXPECT_EQ(d.height, 28);
    EXPECT_EQ(d.bits, 24);
    auto px = [&](int x, int y) { return &d.rgba[(size_t(y) * 77 + x) * 4]; };
    // Gradient: the background darkens from top to bottom at the left edge.
    EXPECT_GT(px(1, 0)[0], px(1, 27)[0] + 20);
    EXPECT_LT(px(1, 27)[0], 20);
    int letters = 0;
    for (int i = 0; i < 77 * 28; ++i) {
        const uint8_t* p = &d.rgba[i * 4];
        if (p[0] > 120 && p[0] == p[1] && p[1] == p[2]) ++letters;  // grey, not coloured
    }
    EXPECT_GT(letters, 60);
    EXPECT_LT(letters, 77 * 28 / 4);
}

TEST(DialogPictures, BackgroundIsADarkMapWithLightLines) {
    Dib d = ReadDib(kDir + "/options_background.bmp", true);
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.width, 571);
    EXPECT_EQ(d.height, 342);
    EXPECT_EQ(d.bits, 24);
    // Only the top-left 435 x 327 pixels show in the dialog; judge that part.
    long sum = 0, light = 0, count = 0;
    std::set<int> greys;
    for (int y = 0; y < 327; ++y)
        for (int x = 0; x < 435; ++x) {
            const uint8_t* p = &d.rgba[(size_t(y) * 571 + x) * 4];
            const int g = (p[0] + p[1] + p[2]) / 3;
            sum += g;
            light += g > 130;
            greys.insert(g / 16);
            ++count;
        }
    EXPECT_LT(sum / count, 70) << "white dialog text must stay legible on the map";
    EXPECT_GT(light, count / 100) << "borders, names and grid lines";
    EXPECT_GE(greys.size(), 5u) << "sea, land and lines in several greys";
}

TEST(ContactSheet, ProducedAndKeptAsArtifact) {
    namespace fs = std::filesystem;
    const std::string sheet = kDir + "/contact_sheet.png";
    const std::string png = ReadFile(sheet);
    ASSERT_GT(png.size(), 24u);
    ASSERT_EQ(png.compare(1, 3, "PNG"), 0);
    auto be32 = [&](size_t at) {
        return uint32_t(uint8_t(png[at])) << 24 | uint32_t(uint8_t(png[at + 1])) << 16 |
               uint32_t(uint8_t(png[at + 2])) << 8 | uint8_t(png[at + 3]);
    };
    EXPECT_GE(be32(16), 7u * 104) << "seven pictures a row at twice their size";
    EXPECT_GE(be32(20), 7u * 104);
    const fs::path artifacts = CLOUDWICK_ARTIFACT_DIR;
    fs::create_directories(artifacts);
    for (const char* name : {"contact_sheet.png", "app_icon.png", "options_picture.png", "options_background.png"}) {
        const fs::path to = artifacts / (std::string("resources_") + name);
        fs::copy_file(kDir + "/" + name, to, fs::copy_options::overwrite_existing);
        EXPECT_TRUE(fs::exists(to));
    }
}
