#include "config/conf_file.h"

#include <gtest/gtest.h>

#include "config/command_line.h"

namespace {

TEST(ConfFile, ReadsNameValueLinesAsNotepadWritesThem) {
    const ConfFileResult r = ReadConfFile(
        "\xEF\xBB\xBF# stub upstream for the tests\r\n"
        "forecast-url = http://127.0.0.1:8089/v1/forecast\r\n"
        "\r\n"
        "; sample data\r\n"
        "provider=sample\r\n"
        "listen=127.0.0.1:8080");
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.args, (std::vector<std::string>{"--forecast-url", "http://127.0.0.1:8089/v1/forecast", "--provider",
                                               "sample", "--listen", "127.0.0.1:8080"}));
    EXPECT_TRUE(ReadConfFile("").ok);
}

TEST(ConfFile, RefusesUnknownNamesAndLinesWithoutAValue) {
    struct Case {
        const char* text;
        const char* error;
    };
    for (const Case& c : {Case{"provider=sample\nverbose=1\n", "line 2: unknown option name \"verbose\""},
                          Case{"parent-pid=4\n", "line 1: unknown option name \"parent-pid\""},
                          Case{"--provider=sample\n", "line 1: unknown option name \"--provider\""},
                          Case{"\n\nprovider sample\n", "line 3: wants name=value"}}) {
        const ConfFileResult r = ReadConfFile(c.text);
        EXPECT_FALSE(r.ok) << c.text;
        EXPECT_EQ(r.error.rfind(c.error, 0), 0u) << r.error;
    }
}

TEST(ConfFile, TheCommandLineWinsOverTheFile) {
    const ConfFileResult file = ReadConfFile("provider=sample\nlisten=127.0.0.1:81\nthreads=3\n");
    ASSERT_TRUE(file.ok);
    const CommandLineResult r = ParseCommandLine(MergedArgs(file.args, {"--listen", "127.0.0.1:82", "--parent-pid", "4"}));
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.options.provider, "sample");
    EXPECT_EQ(r.options.port, 82);
    EXPECT_EQ(r.options.threads, 3);
    EXPECT_EQ(r.options.parentPid, 4);
    // A bad value in the file is refused like one on the command line.
    EXPECT_FALSE(ParseCommandLine(ReadConfFile("threads=many").args).ok);
}

}  // namespace
