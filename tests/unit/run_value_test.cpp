// Start with Windows through a fake registry: the machine-wide value when it
// can be written, the user's own otherwise, both removed when unticked, and
// a message naming the real cause only when nothing could be done.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "app/run_value.h"

namespace {

const std::string kPath = "C:\\Program Files\\Cloudwick\\Cloudwick.exe";

// One Run key: whether it exists, whether this account may change it, and its value.
struct FakeKey {
    bool exists = true;
    bool writable = true;
    std::string value;  // empty: no value
};

class FakeRunRegistry : public RunRegistry {
public:
    long Write(RunRoot root, const std::string& data) override {
        FakeKey& k = keys[root];
        if (!k.exists) return kRegKeyMissing;
        if (!k.writable) return kRegAccessDenied;
        if (k.value.size() > 1024) return kRegValueTooLong;
        k.value = data;
        return 0;
    }
    bool Holds(RunRoot root, const std::string& data) override {
        const FakeKey& k = keys[root];
        return k.exists && !k.value.empty() && k.value == data;
    }
    long Remove(RunRoot root) override {
        FakeKey& k = keys[root];
        if (!k.exists || k.value.empty()) return 0;
        if (!k.writable) return kRegAccessDenied;
        k.value.clear();
        return 0;
    }
    std::map<RunRoot, FakeKey> keys;
};

FakeKey Key(bool exists, bool writable, const std::string& value = "") { return FakeKey{exists, writable, value}; }

const std::string kLong(1500, 'x');

}  // namespace

TEST(RunValue, TickedAndUnticked) {
    const FakeKey open = Key(true, true), denied = Key(false, false);
    struct Row {
        const char* what;
        bool on;
        FakeKey machine, user;
        bool starts;
        std::string machineAfter, userAfter;
        std::vector<std::string> said;  // empty: no message
    } rows[] = {
        {"administrator", true, open, open, true, kPath, "", {}},
        {"no admin rights: the user's value", true, Key(true, false), open, true, "", kPath, {}},
        {"a long value in the machine key", true, Key(true, true, kLong), open, true, kLong, kPath, {}},
        {"no machine key", true, Key(false, true), open, true, "", kPath, {}},
        {"the machine value already holds the path: no second start", true, Key(true, false, kPath), open,
         true, kPath, "", {}},
        {"the machine value replaces an earlier user value", true, open, Key(true, true, kPath), true, kPath, "", {}},
        {"neither: access denied and no user key", true, Key(true, false), Key(false, true), false, "", "",
         {"could not set itself", "For all users (HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion"
          "\\Run): access is denied.", "For you (HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion"
          "\\Run): the key does not exist.", "Once one of these is fixed, tick"}},
        {"neither: long values at both", true, Key(true, true, kLong), Key(true, true, kLong), false, kLong, kLong,
         {"For all users", "For you", "value is already there, too long to read; delete it with the Registry Editor.",
          "tick \"Start on Windows\" again"}},
        {"unticked: both removed", false, Key(true, true, kPath), Key(true, true, kPath), false, "", "", {}},
        {"unticked without values or keys", false, Key(false, false), denied, false, "", "", {}},
        {"unticked, no admin rights, no machine value", false, Key(true, false), Key(true, true, kPath), false, "",
         "", {}},
        {"unticked, the machine value cannot be removed", false, Key(true, false, kPath), Key(true, true, kPath),
         true, kPath, "", {"will still start with Windows", "For all users", "access is denied.",
                           "Once that is fixed, untick"}},
        {"unticked, the user value cannot be removed", false, Key(true, true, kPath), Key(true, false, kPath), true,
         "", kPath, {"will still start with Windows", "For you", "access is denied"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        FakeRunRegistry reg;
        reg.keys[RunRoot::Machine] = row.machine;
        reg.keys[RunRoot::User] = row.user;
        const RunValueResult r = SetStartOnWindows(reg, row.on, kPath);
        EXPECT_EQ(r.starts, row.starts);
        EXPECT_EQ(reg.keys[RunRoot::Machine].value, row.machineAfter);
        EXPECT_EQ(reg.keys[RunRoot::User].value, row.userAfter);
        EXPECT_EQ(r.message.empty(), row.said.empty()) << r.message;
        for (const std::string& words : row.said) EXPECT_NE(r.message.find(words), std::string::npos) << words;
        // Only a root that failed is named.
        for (const char* root : {"For you", "For all users"}) {
            bool expected = false;
            for (const std::string& words : row.said) expected = expected || words.find(root) != std::string::npos;
            EXPECT_EQ(r.message.find(root) != std::string::npos, expected) << root;
        }
        // Administrator rights are never blamed: the cause is named instead.
        EXPECT_EQ(r.message.find("administrator"), std::string::npos);
    }
}

TEST(RunValue, OtherErrorsAreShownByNumber) {
    class Failing : public RunRegistry {
        long Write(RunRoot, const std::string&) override { return 1018; }
        bool Holds(RunRoot, const std::string&) override { return false; }
        long Remove(RunRoot) override { return 0; }
    } reg;
    const RunValueResult r = SetStartOnWindows(reg, true, kPath);
    EXPECT_FALSE(r.starts);
    EXPECT_NE(r.message.find("HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Run): Windows error 1018."),
              std::string::npos);
    EXPECT_NE(r.message.find("HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run): Windows error 1018."),
              std::string::npos);
}

TEST(RunValue, TheCommandIsTheRunningExesOwnPathInQuotes) {
    // Unquoted, Windows splits "C:\Program Files\..." at its first space
    // and starts nothing; a renamed download keeps its new name.
    const struct { const char* path; const char* command; } cases[] = {
        {"C:\\Program Files\\Cloudwick\\Cloudwick.exe", "\"C:\\Program Files\\Cloudwick\\Cloudwick.exe\""},
        {"C:\\Users\\Ann\\Downloads\\Cloudwick (1).exe", "\"C:\\Users\\Ann\\Downloads\\Cloudwick (1).exe\""},
        {"D:\\Tools\\O'Brien's\\cw.exe", "\"D:\\Tools\\O'Brien's\\cw.exe\""},
        {"C:\\Wetter\\M\xfcnchen\\Cloudwick.exe", "\"C:\\Wetter\\M\xfcnchen\\Cloudwick.exe\""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(RunCommand(c.path), c.command);
        EXPECT_EQ(RunPathProblem(c.path), "") << c.path;
    }
}

TEST(RunValue, AFolderNamedInAnyScriptIsWrittenAsItIs) {
    // The path is read and written through the wide calls (UTF-8 inside):
    // letters no ANSI code page has are no reason to refuse it.
    for (const char* path : {"C:\\Users\\\u0418\u0432\u0430\u043d\\\u041f\u043e\u0433\u043e\u0434\u0430\\Cloudwick.exe",
                             "C:\\\u5929\u6c14\\Cloudwick.exe", "D:\\\u0141ukasz\\Cloudwick.exe"}) {
        EXPECT_EQ(RunPathProblem(path), "") << path;
        EXPECT_EQ(RunCommand(path), std::string("\"") + path + "\"");
    }
    const std::string problem = RunPathProblem("");
    EXPECT_NE(problem.find("could not set itself to start with Windows"), std::string::npos);
}
