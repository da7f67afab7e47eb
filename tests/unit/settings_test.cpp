// The settings record and its eight-line file: reading line by line,
// first-run values for bad input, writing, and a save that cannot destroy
// the previous file.
#include <gtest/gtest.h>

#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>
#include <string>

#include "app/settings.h"

namespace {

const std::string kExample = "0\r\n0\r\n1\r\n7155\r\n3555\r\n99999999\r\n0\r\nnone\r\n";

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

class TempDir {
public:
    TempDir() {
        char tmpl[] = "/tmp/cloudwick-settings-XXXXXX";
        path_ = mkdtemp(tmpl);
    }
    ~TempDir() { std::system(("rm -rf '" + path_ + "'").c_str()); }
    std::string File(const std::string& name) const { return path_ + "/" + name; }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

AppSettings Sample() {
    AppSettings s;
    s.StartOnWindows = 1;
    s.StartInTray = 1;
    s.RefreshHours = 12;
    s.WindowLeft = -60;
    s.WindowTop = 32767;
    s.LocationWoeid = "2442047";
    s.UseCelsius = 1;
    s.LocationName = "Springfield, XY";
    return s;
}

void ExpectFirstRun(const AppSettings& s) {
    EXPECT_EQ(s.StartOnWindows, 0);
    EXPECT_EQ(s.StartInTray, 0);
    EXPECT_EQ(s.RefreshHours, 1);
    EXPECT_EQ(s.WindowLeft, 7155);
    EXPECT_EQ(s.WindowTop, 3555);
    EXPECT_EQ(s.LocationWoeid, "99999999");
    EXPECT_EQ(s.UseCelsius, 0);
    EXPECT_EQ(s.LocationName, "none");
}

}  // namespace

TEST(SettingsText, FirstRunValuesAreTheDesignDefaults) {
    ExpectFirstRun(FirstRunSettings());
    EXPECT_EQ(FormatSettingsText(FirstRunSettings()), kExample);
}

TEST(SettingsText, StartValuesAreZeroAndEmpty) {
    AppSettings s;
    EXPECT_EQ(s.StartOnWindows, 0);
    EXPECT_EQ(s.RefreshHours, 0);
    EXPECT_EQ(s.WindowLeft, 0);
    EXPECT_EQ(s.LocationWoeid, "");
    EXPECT_EQ(s.LocationName, "");
    EXPECT_EQ(s.MainVisible, 0);
    EXPECT_EQ(s.AppVersion, "");
}

TEST(SettingsText, FormatWritesEightPlainDecimalLines) {
    EXPECT_EQ(FormatSettingsText(Sample()),
              "1\r\n1\r\n12\r\n-60\r\n32767\r\n2442047\r\n1\r\nSpringfield, XY\r\n");
    AppSettings s = Sample();
    s.WindowLeft = -32768;
    s.LocationWoeid = "";
    s.LocationName = "  spaced  ";  // texts are written as held
    s.MainVisible = -1;             // window flags are not part of the file
    s.AppVersion = "1.23";
    EXPECT_EQ(FormatSettingsText(s), "1\r\n1\r\n12\r\n-32768\r\n32767\r\n\r\n1\r\n  spaced  \r\n");
}

TEST(SettingsText, FormatNeverBreaksALineInsideAText) {
    // Control characters are written as blanks: eight lines whatever the
    // texts hold, so "12345\r\n1" cannot reload as metric units named "0".
    struct Row {
        std::string text, written, reread;
    } rows[] = {
        {"12345\r\n1", "12345  1", "12345  1"},
        {"Spring\nfield", "Spring field", "Spring field"},
        {"Leeds\r", "Leeds ", "Leeds"},
        {"\tTab\x7F" "Del\x01", " Tab Del ", "Tab Del"},
        {std::string("Nul\0", 4), "Nul ", "Nul"},
        {"Z\xC3\xBCrich, Caf\xE9", "Z\xC3\xBCrich, Caf\xE9", "Z\xC3\xBCrich, Caf\xE9"},  // letters stay
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::PrintToString(row.text));
        AppSettings s = Sample();
        s.LocationWoeid = row.text;
        s.LocationName = row.text;
        const std::string text = FormatSettingsText(s);
        EXPECT_EQ(text, "1\r\n1\r\n12\r\n-60\r\n32767\r\n" + row.written + "\r\n1\r\n" + row.written + "\r\n");
        AppSettings back;
        ParseSettingsText(text, back);
        EXPECT_EQ(back.LocationWoeid, row.reread);
        EXPECT_EQ(back.UseCelsius, 1);
        EXPECT_EQ(back.LocationName, row.reread);
    }
}

TEST(SettingsText, ParseReadsEachLineIntoItsField) {
    AppSettings s;
    ParseSettingsText("1\r\n1\r\n12\r\n-60\r\n32767\r\n2442047\r\n1\r\nSpringfield, XY\r\n", s);
    AppSettings want = Sample();
    EXPECT_EQ(s.StartOnWindows, want.StartOnWindows);
    EXPECT_EQ(s.StartInTray, want.StartInTray);
    EXPECT_EQ(s.RefreshHours, want.RefreshHours);
    EXPECT_EQ(s.WindowLeft, want.WindowLeft);
    EXPECT_EQ(s.WindowTop, want.WindowTop);
    EXPECT_EQ(s.LocationWoeid, want.LocationWoeid);
    EXPECT_EQ(s.UseCelsius, want.UseCelsius);
    EXPECT_EQ(s.LocationName, want.LocationName);
}

TEST(SettingsText, ParseTrimsSpacesAroundEveryLine) {
    AppSettings s;
    ParseSettingsText(" 1\r\n0 \r\n 12 \r\n  -60\r\n3555\r\n 2442047 \r\n 1 \r\n  Springfield  \r\n", s);
    EXPECT_EQ(s.StartOnWindows, 1);
    EXPECT_EQ(s.RefreshHours, 12);
    EXPECT_EQ(s.WindowLeft, -60);
    EXPECT_EQ(s.LocationWoeid, "2442047");
    EXPECT_EQ(s.UseCelsius, 1);
    EXPECT_EQ(s.LocationName, "Springfield");
}

TEST(SettingsText, MissingLinesLeaveTheirFieldsAlone) {
    AppSettings s = Sample();
    ParseSettingsText("0\r\n0\r\n3\r\n100\r\n200\r\n", s);
    EXPECT_EQ(s.StartOnWindows, 0);
    EXPECT_EQ(s.RefreshHours, 3);
    EXPECT_EQ(s.WindowTop, 200);
    EXPECT_EQ(s.LocationWoeid, "2442047");
    EXPECT_EQ(s.UseCelsius, 1);
    EXPECT_EQ(s.LocationName, "Springfield, XY");

    // Seven terminated lines: the end of the file comes before line 8.
    s = Sample();
    ParseSettingsText("0\r\n0\r\n1\r\n1\r\n1\r\n99999999\r\n0\r\n", s);
    EXPECT_EQ(s.UseCelsius, 0);
    EXPECT_EQ(s.LocationName, "Springfield, XY");

    // No line at all is no valid value: first-run values, not the old ones.
    s = Sample();
    ParseSettingsText("", s);
    ExpectFirstRun(s);
}

TEST(SettingsText, LastLineNeedsNoTerminatorAndCrAloneEndsALine) {
    AppSettings s;
    ParseSettingsText("0\r\n0\r\n1\r\n7155\r\n3555\r\n99999999\r\n1\r\nLast Town", s);
    EXPECT_EQ(s.UseCelsius, 1);
    EXPECT_EQ(s.LocationName, "Last Town");

    s = AppSettings{};
    ParseSettingsText("1\r0\r6\r10\r20\r123\r1\rCr Town\r", s);
    EXPECT_EQ(s.StartOnWindows, 1);
    EXPECT_EQ(s.RefreshHours, 6);
    EXPECT_EQ(s.WindowTop, 20);
    EXPECT_EQ(s.LocationWoeid, "123");
    EXPECT_EQ(s.LocationName, "Cr Town");
}

TEST(SettingsText, LinesAfterTheEighthAreIgnored) {
    AppSettings s;
    ParseSettingsText(kExample + "9\r\nextra\r\n", s);
    ExpectFirstRun(s);
    EXPECT_EQ(FormatSettingsText(s), kExample);  // and vanish at the next save
}

TEST(SettingsText, StoredFlagsKeepTheirNumbers) {
    // -1 is kept as read: the card load tests for exactly 1, the dialog for non-zero.
    AppSettings s;
    ParseSettingsText("-1\r\n-1\r\n3\r\n0\r\n0\r\n\r\n2\r\n\r\n", s);
    EXPECT_EQ(s.StartOnWindows, -1);
    EXPECT_EQ(s.StartInTray, -1);
    EXPECT_EQ(s.RefreshHours, 3);
    EXPECT_EQ(s.UseCelsius, 2);
    EXPECT_EQ(s.LocationWoeid, "");
    EXPECT_EQ(s.LocationName, "");
}

TEST(SettingsText, BadNumericLineGetsItsFirstRunValueOthersStillLoad) {
    const std::string bads[] = {"", "   ", "abc", "12abc", "1.5", "1e3", "0x10", "32768",
                                "-32769", "99999999999999999999", "--1", "1 2"};
    for (const std::string& bad : bads) {
        SCOPED_TRACE("\"" + bad + "\"");
        // Every numeric line bad at once: each falls back on its own value.
        AppSettings s = Sample();
        ParseSettingsText(bad + "\r\n" + bad + "\r\n" + bad + "\r\n" + bad + "\r\n" + bad +
                              "\r\n2442047\r\n" + bad + "\r\nSpringfield\r\n",
                          s);
        EXPECT_EQ(s.StartOnWindows, 0);
        EXPECT_EQ(s.StartInTray, 0);
        EXPECT_EQ(s.RefreshHours, 1);
        EXPECT_EQ(s.WindowLeft, 7155);
        EXPECT_EQ(s.WindowTop, 3555);
        EXPECT_EQ(s.UseCelsius, 0);
        EXPECT_EQ(s.LocationWoeid, "2442047");
        EXPECT_EQ(s.LocationName, "Springfield");

        // One bad line among good ones.
        s = AppSettings{};
        ParseSettingsText("1\r\n1\r\n" + bad + "\r\n10\r\n20\r\n5\r\n1\r\nX\r\n", s);
        EXPECT_EQ(s.RefreshHours, 1);
        EXPECT_EQ(s.StartInTray, 1);
        EXPECT_EQ(s.WindowLeft, 10);
        EXPECT_EQ(s.UseCelsius, 1);
    }
}

TEST(SettingsText, RangeEndsAreWholeNumbers) {
    AppSettings s;
    ParseSettingsText("0\r\n0\r\n1\r\n-32768\r\n32767\r\n1\r\n0\r\nX\r\n", s);
    EXPECT_EQ(s.WindowLeft, -32768);
    EXPECT_EQ(s.WindowTop, 32767);
}

TEST(SettingsText, RoundTripReproducesEveryField) {
    AppSettings in = Sample();
    in.LocationName = "Saint-\xC9tienne, FR";  // ANSI text passes unchanged
    in.LocationWoeid = "99999999";
    AppSettings out;
    ParseSettingsText(FormatSettingsText(in), out);
    EXPECT_EQ(FormatSettingsText(out), FormatSettingsText(in));
    EXPECT_EQ(out.LocationName, in.LocationName);

    in.LocationName = "  padded  ";  // surrounding spaces are lost on reading
    ParseSettingsText(FormatSettingsText(in), out);
    EXPECT_EQ(out.LocationName, "padded");
}

TEST(SettingsPosition, RoundsHalvesToEven) {
    const struct { double twips; int32_t want; } cases[] = {
        {7155.0, 7155}, {7155.4, 7155}, {7155.6, 7156}, {0.5, 0},       {1.5, 2},
        {2.5, 2},       {-0.5, 0},      {-1.5, -2},     {-2.5, -2},     {2600 * 15.0, 39000},
        {1e12, INT32_MAX}, {-1e12, INT32_MIN},
    };
    for (const auto& c : cases) EXPECT_EQ(RoundTwips(c.twips), c.want) << c.twips;
}

TEST(SettingsPosition, MemoryKeepsTheRealPlaceTheFileClampsIt) {
    // A card at x 2600 on two 1920-pixel monitors: 39000 twips.
    const struct { int32_t left, top; const char* line4; const char* line5; } cases[] = {
        {39000, 3555, "32767", "3555"},
        {-40000, -32768, "-32768", "-32768"},
        {32767, -1, "32767", "-1"},
    };
    for (const auto& c : cases) {
        AppSettings s = FirstRunSettings();
        s.WindowLeft = c.left;
        s.WindowTop = c.top;
        const std::string text = FormatSettingsText(s);
        EXPECT_NE(text.find(std::string("\r\n") + c.line4 + "\r\n" + c.line5 + "\r\n"), std::string::npos) << text;
        EXPECT_EQ(s.WindowLeft, c.left);
    }
}

TEST(SettingsFile, MissingOrUnreadableFileGivesFirstRunValues) {
    TempDir dir;
    AppSettings s = Sample();
    s.AppVersion = "1.23";
    EXPECT_EQ(LoadSettingsFile(dir.File("absent.conf"), s), FileRead::Missing);
    ExpectFirstRun(s);

    s = Sample();
    EXPECT_EQ(LoadSettingsFile(dir.File("no/such/folder.conf"), s), FileRead::Missing);
    ExpectFirstRun(s);

    // There but not readable: the card must then never write over it.
    s = Sample();
    EXPECT_EQ(LoadSettingsFile(dir.path(), s), FileRead::Unreadable);  // a folder cannot be read as text
    ExpectFirstRun(s);
}

TEST(SettingsFile, ShortFileLeavesNoPlaceAndImperialUnits) {
    TempDir dir;
    const std::string path = dir.File(kSettingsFileName);
    WriteFile(path, "1\r\n1\r\n6\r\n100\r\n200\r\n");
    AppSettings s = Sample();
    EXPECT_EQ(LoadSettingsFile(path, s), FileRead::Read);
    EXPECT_EQ(s.StartOnWindows, 1);
    EXPECT_EQ(s.RefreshHours, 6);
    EXPECT_EQ(s.WindowTop, 200);
    EXPECT_EQ(s.LocationWoeid, "");
    EXPECT_EQ(s.UseCelsius, 0);
    EXPECT_EQ(s.LocationName, "");
}

TEST(SettingsFile, LoadKeepsFieldsThatAreNotInTheFile) {
    // The card sets the version before it loads the settings.
    TempDir dir;
    const std::string path = dir.File(kSettingsFileName);
    WriteFile(path, kExample);
    AppSettings s;
    s.AppVersion = "1.23";
    ASSERT_EQ(LoadSettingsFile(path, s), FileRead::Read);
    EXPECT_EQ(s.AppVersion, "1.23");
    ExpectFirstRun(s);
}

TEST(SettingsFile, SaveThenLoadRoundTrips) {
    TempDir dir;
    const std::string path = dir.File(kSettingsFileName);
    WriteFile(path, "stale\r\nlines\r\n1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n8\r\n9\r\n10\r\n");
    ASSERT_EQ(SaveSettingsFile(path, Sample()), FileWrite::Written);
    EXPECT_EQ(ReadFile(path), FormatSettingsText(Sample()));
    AppSettings back;
    ASSERT_EQ(LoadSettingsFile(path, back), FileRead::Read);
    EXPECT_EQ(FormatSettingsText(back), FormatSettingsText(Sample()));
}

TEST(SettingsFile, SaveIntoMissingFolderFails) {
    TempDir dir;
    EXPECT_NE(SaveSettingsFile(dir.File("no/such/folder/cloudwick.conf"), Sample()), FileWrite::Written);
}

TEST(SettingsFile, FailedWriteLeavesTheOldFileIntact) {
    // A write that runs out of room half-way (here: a file size limit, as a
    // full disk would) must not replace the old settings.
    TempDir dir;
    const std::string path = dir.File(kSettingsFileName);
    WriteFile(path, kExample);
    AppSettings big = Sample();
    big.LocationName = std::string(4000, 'x');

    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        struct rlimit lim = {16, 16};
        setrlimit(RLIMIT_FSIZE, &lim);
        _exit(SaveSettingsFile(path, big) == FileWrite::DiskFull ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the save did not report a full disk";
    EXPECT_EQ(ReadFile(path), kExample);
}

namespace {
// A literal with its zero bytes.
template <size_t N>
std::string Bytes(const char (&text)[N]) { return std::string(text, N - 1); }
}  // namespace

TEST(SettingsText, DamagedFilesAlwaysLeaveAUsableCard) {
    // Whatever shape a damaged file has, the card gets a clock that fires
    // and a place: a file that yields no valid value is read as first-run
    // values; a RefreshHours below 1 reads as 1, any other number is kept.
    const AppSettings first = FirstRunSettings();
    const struct {
        const char* what;
        std::string text;
        bool firstRun;     // every field its first-run value
        int16_t hours;     // else: RefreshHours read
        int32_t left;      // and WindowLeft
    } cases[] = {
        {"empty file", "", true, 1, 7155},
        {"eight empty lines", "\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n", true, 1, 7155},
        {"all zero bytes", std::string(512, '\0'), true, 1, 7155},
        {"zero bytes in eight lines", Bytes("\0\r\n\0\r\n\0\r\n\0\r\n\0\r\n\0\r\n\0\r\n\0\r\n"), true, 1, 7155},
        {"blanks only", "   \r\n \t \r\n", true, 1, 7155},
        {"binary noise", "\x01\x02\x03\xff\xfe\r\n\x7f\r\n", true, 1, 7155},
        {"all-zero values", "0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n", false, 1, 0},
        {"0 hours", "0\r\n0\r\n0\r\n100\r\n100\r\n1\r\n0\r\nX\r\n", false, 1, 100},
        {"-5 hours", "0\r\n0\r\n-5\r\n100\r\n100\r\n1\r\n0\r\nX\r\n", false, 1, 100},
        {"-32768 hours", "0\r\n0\r\n-32768\r\n100\r\n100\r\n1\r\n0\r\nX\r\n", false, 1, 100},
        {"2 hours, hand-edited", "0\r\n0\r\n2\r\n100\r\n100\r\n1\r\n0\r\nX\r\n", false, 2, 100},
        {"12 hours", "0\r\n0\r\n12\r\n100\r\n100\r\n1\r\n0\r\nX\r\n", false, 12, 100},
        {"three lines, no hours", "1\r\n0\r\n", false, 1, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        AppSettings s;  // the start values: zeros and empty texts
        ParseSettingsText(c.text, s);
        if (c.firstRun) {
            ExpectFirstRun(s);
            continue;
        }
        EXPECT_EQ(s.RefreshHours, c.hours);
        EXPECT_EQ(s.WindowLeft, c.left);
        EXPECT_NE(FormatSettingsText(s), FormatSettingsText(first));
    }
}

TEST(SettingsFile, DamagedFileOnDiskReadsAsFirstRunValues) {
    TempDir dir;
    const std::string path = dir.File(kSettingsFileName);
    for (const std::string& text : {std::string(), std::string(4096, '\0')}) {
        WriteFile(path, text);
        AppSettings s = Sample();
        EXPECT_EQ(LoadSettingsFile(path, s), FileRead::Read);
        ExpectFirstRun(s);
    }
}

TEST(SettingsFile, AFailedSaveNamesItsRealCause) {
    TempDir dir;
    // A folder the program may not write in (skipped as root, who may).
    if (geteuid() != 0) {
        const std::string locked = dir.File("locked");
        ASSERT_EQ(mkdir(locked.c_str(), 0555), 0);
        EXPECT_EQ(SaveSettingsFile(locked + "/" + kSettingsFileName, Sample()), FileWrite::FolderNotWritable);
        chmod(locked.c_str(), 0755);
    }
    // Each cause is told in its own words, with the file's path.
    const struct { FileWrite cause; const char* words; } texts[] = {
        {FileWrite::InUse, "Another program is using the file"},
        {FileWrite::FolderNotWritable, "Move Cloudwick to a folder you can write to"},
        {FileWrite::DiskFull, "The disk is full"},
        {FileWrite::Failed, "did not say why"},
    };
    for (const auto& t : texts) {
        const std::string text = SaveFailureText(t.cause, "C:\\Cloudwick\\cloudwick.conf");
        EXPECT_NE(text.find(t.words), std::string::npos) << text;
        EXPECT_NE(text.find("C:\\Cloudwick\\cloudwick.conf"), std::string::npos);
        for (const auto& other : texts)
            if (other.cause != t.cause) {
                EXPECT_EQ(text.find(other.words), std::string::npos) << text;
            }
    }
    EXPECT_EQ(SaveFailureText(FileWrite::Written, "x"), "");
}

namespace {
// The text as UTF-16 little or big endian, with or without its mark.
std::string Utf16(const std::string& latin1, bool bigEndian, bool mark) {
    std::string out = mark ? (bigEndian ? std::string("\xFE\xFF") : std::string("\xFF\xFE")) : std::string();
    for (char c : latin1) {
        const char lo = c, hi = '\0';
        out += bigEndian ? hi : lo;
        out += bigEndian ? lo : hi;
    }
    return out;
}
}  // namespace

TEST(SettingsForms, WhatNotepadSavesIsReadForItsEightLines) {
    // "Z\xfcrich" in UTF-8 is "Z\xc3\xbcrich"; the designed file holds the
    // ANSI letter (the tests' code page is Latin-1).
    const std::string designed = "1\r\n0\r\n3\r\n4500\r\n3000\r\n2459115\r\n1\r\nZ\xfcrich, CH\r\n";
    const std::string utf8 = "1\r\n0\r\n3\r\n4500\r\n3000\r\n2459115\r\n1\r\nZ\xc3\xbcrich, CH\r\n";
    const struct { const char* what; std::string bytes; SettingsForm form; } cases[] = {
        {"designed", designed, SettingsForm::Designed},
        {"UTF-8 with its mark", "\xEF\xBB\xBF" + utf8, SettingsForm::Utf8WithMark},
        {"UTF-16 LE with its mark (Notepad's Unicode)", Utf16(designed, false, true), SettingsForm::Utf16},
        {"UTF-16 BE with its mark", Utf16(designed, true, true), SettingsForm::Utf16},
        {"UTF-16 LE without a mark", Utf16(designed, false, false), SettingsForm::Utf16},
    };
    for (const auto& c : cases) {
        SettingsForm form = SettingsForm::Designed;
        EXPECT_EQ(SettingsBytesAsAnsi(c.bytes, form), designed) << c.what;
        EXPECT_EQ(form, c.form) << c.what;
        TempDir dir;
        const std::string path = dir.File(kSettingsFileName);
        WriteFile(path, c.bytes);
        AppSettings s;
        form = SettingsForm::Designed;
        ASSERT_EQ(LoadSettingsFile(path, s, &form), FileRead::Read) << c.what;
        EXPECT_EQ(form, c.form) << c.what;
        EXPECT_EQ(s.LocationWoeid, "2459115") << c.what;
        EXPECT_EQ(s.LocationName, "Z\xfcrich, CH") << c.what;
        EXPECT_EQ(s.WindowLeft, 4500) << c.what;
        // Written back, it is the designed file.
        ASSERT_EQ(SaveSettingsFile(path, s), FileWrite::Written);
        EXPECT_EQ(ReadFile(path), designed) << c.what;
    }
}

TEST(SettingsForms, BrokenUnicodeStillLeavesAUsableCard) {
    // A mark and nothing else, a cut UTF-8 sequence, an odd UTF-16 byte,
    // letters the code page lacks: never a crash, always a card.
    const std::string cases[] = {
        "\xEF\xBB\xBF", "\xFF\xFE", "\xFE\xFF",
        "\xEF\xBB\xBF" "1\r\n0\r\n1\r\n15\r\n15\r\n12\r\n0\r\nK\xc3",
        "\xEF\xBB\xBF" "0\r\n0\r\n1\r\n15\r\n15\r\n12\r\n0\r\n\xe5\xa4\xa9\xe6\xb0\x94\r\n",
        Utf16("0\r\n0\r\n1\r\n", false, true) + "\x01",
    };
    for (const std::string& bytes : cases) {
        SettingsForm form;
        AppSettings s = FirstRunSettings();
        ParseSettingsText(SettingsBytesAsAnsi(bytes, form), s);
        EXPECT_NE(form, SettingsForm::Designed);
        EXPECT_GE(s.RefreshHours, 1);
        const std::string text = FormatSettingsText(s);
        EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 8);
    }
    // A place named outside the code page keeps a name the card can show.
    SettingsForm form;
    AppSettings s;
    ParseSettingsText(SettingsBytesAsAnsi(cases[4], form), s);
    EXPECT_EQ(s.LocationName, "??");
    EXPECT_EQ(s.LocationWoeid, "12");
}

TEST(SettingsFile, AReadOnlyFileOrAGoneFolderIsToldApart) {
    TempDir dir;
    const std::string path = dir.File(kSettingsFileName);
    EXPECT_TRUE(CanReplaceFile(path));
    WriteFile(path, kExample);
    EXPECT_TRUE(CanReplaceFile(path));
    if (geteuid() != 0) {  // root may write anything
        chmod(path.c_str(), 0444);
        EXPECT_FALSE(CanReplaceFile(path));
        chmod(path.c_str(), 0644);
    }
    EXPECT_EQ(SaveSettingsFile(dir.File("gone/cloudwick.conf"), Sample()), FileWrite::FolderMissing);
    EXPECT_NE(SaveFailureText(FileWrite::FolderMissing, "x").find("gone"), std::string::npos);
    const std::string moved = SettingsMovedText("C:\\Program Files\\Cloudwick", "C:\\Users\\Ann\\AppData\\x.conf");
    EXPECT_NE(moved.find("C:\\Program Files\\Cloudwick"), std::string::npos);
    EXPECT_NE(moved.find("C:\\Users\\Ann\\AppData\\x.conf"), std::string::npos);
}
