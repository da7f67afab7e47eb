// When a card starts the feed service beside it, and how.
#include <gtest/gtest.h>

#include "card/local_feed_service.h"

TEST(LocalFeedService, OnlyACardBuiltForThisMachineStartsIt) {
    const struct { const char* feed; const char* search; bool starts; } cases[] = {
        {"localhost", "localhost", true},
        {"127.0.0.1", "weather.example.org", true},
        {"weather.example.org", "localhost", true},
        {"weather.example.org", "places.example.org", false},
        {"LocalHost", "places.example.org", true},  // host names ignore case
        {"127.0.0.2", "places.example.org", false},  // the service binds 127.0.0.1 only
        {"", "", false},
    };
    for (const auto& c : cases) EXPECT_EQ(UsesLocalService(c.feed, c.search), c.starts) << c.feed << " " << c.search;
}

TEST(LocalFeedService, FolderKeyIsStableAndTellsFoldersApart) {
    const auto key = [](const std::u16string& folder) {
        char out[9];
        FolderKey(reinterpret_cast<const uint16_t*>(folder.data()), folder.size(), out);
        return std::string(out);
    };
    EXPECT_EQ(key(u""), "811c9dc5");  // FNV-1a's offset basis: nothing hashed
    EXPECT_EQ(key(u"C:\\CLOUDWICK").size(), 8u);
    EXPECT_NE(key(u"C:\\CLOUDWICK"), key(u"D:\\CLOUDWICK"));
    EXPECT_NE(key(u"C:\\\u041f\u041e\u0413\u041e\u0414\u0410"), key(u"C:\\\u041f\u041e\u0413\u041e\u0414\u0411"));
    EXPECT_EQ(key(u"C:\\CLOUDWICK"), key(u"C:\\CLOUDWICK"));
}

TEST(LocalFeedService, FoldersAZipIsRunFromAreRecognised) {
    const struct { const char16_t* folder; bool inside; } cases[] = {
        {u"C:\\Users\\Ann\\AppData\\Local\\Temp\\Temp1_cloudwick-1.0-win32.zip", true},
        {u"C:\\Users\\Ann\\Downloads\\cloudwick-1.0-win32.zip\\cloudwick", true},
        {u"C:\\Users\\Ann\\AppData\\Local\\Temp\\7zO4A1B2C3D", true},
        {u"C:\\Users\\Ann\\AppData\\Local\\Temp\\Rar$EXa1234.5678", true},
        {u"C:\\Users\\Ann\\Downloads\\cloudwick-1.0-win32", false},
        {u"C:\\Users\\Ann\\zipper\\Cloudwick", false},
        {u"C:\\Users\\\u0418\u0432\u0430\u043d\\Cloudwick.zip.d", false},
    };
    for (const auto& c : cases) {
        const std::u16string f(c.folder);
        EXPECT_EQ(LooksInsideZip(reinterpret_cast<const uint16_t*>(f.data()), f.size()), c.inside)
            << std::string(f.begin(), f.end());
    }
}

TEST(LocalFeedService, StartRefusalsAreNamedForTheLine) {
    const struct { unsigned long error; bool zip; const char* text; } cases[] = {
        {2, false, "cloudwick-feed.exe is missing beside Cloudwick.exe"},
        {3, false, "cloudwick-feed.exe is missing beside Cloudwick.exe"},
        {2, true, "Unpack the zip first"},
        {5, false, "Windows blocked cloudwick-feed.exe"},
        {1260, false, "Windows blocked cloudwick-feed.exe"},
        {225, false, "Antivirus blocked cloudwick-feed.exe"},
        {226, false, "Antivirus blocked cloudwick-feed.exe"},
        {4551, false, "Smart App Control blocked cloudwick-feed.exe"},
        {4580, false, "Smart App Control blocked cloudwick-feed.exe"},
        {193, false, "cloudwick-feed.exe is damaged"},
        {11, false, "cloudwick-feed.exe is damaged"},
        {1455, false, "cloudwick-feed.exe failed (error 1455)"},
    };
    for (const auto& c : cases) EXPECT_EQ(NoServiceText(StartRefusal(c.error, c.zip)), c.text) << c.error;
    NoService ended;
    ended.kind = NoService::EndedAtOnce;
    ended.code = 3221225477ul;  // STATUS_ACCESS_VIOLATION: the longest code
    EXPECT_EQ(NoServiceText(ended), "cloudwick-feed.exe ended at once (code 3221225477)");
    EXPECT_EQ(NoServiceText(NoService()), "");
}
