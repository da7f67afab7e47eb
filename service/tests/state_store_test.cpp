// The state folder: the files' form (damaged, cut short, foreign files are
// not read), the store's bounds and its failures, and what it keeps across
// a restart: the call budget and pause, and the last good forecast.
#include "state/state_store.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <set>

#include "state/state_file.h"
#include "test_data.h"

namespace {

// A folder of the test's own under /tmp, removed afterwards.
struct TempFolder {
    TempFolder() {
        char name[] = "/tmp/cloudwick-state-XXXXXX";
        path = mkdtemp(name);
    }
    ~TempFolder() {
        chmod(path.c_str(), 0700);
        std::system(("rm -rf '" + path + "'").c_str());
    }
    std::string File(const std::string& name) const { return path + "/" + name; }
    std::string path;
};

void WriteAll(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

KeptForecast Kept(int64_t id = 4250542) {
    KeptForecast k;
    k.place = SpringfieldIl();
    k.place.id = id;
    k.place.name = "Z\xC3\xBCrich\nwith a line";
    k.place.latitude = 47.36667;
    k.place.longitude = -8.55;
    k.storedUnix = 1796745000;
    k.imperial = "<rss>imperial\nend 00\n</rss>";
    k.metric = "<rss>metric</rss>";
    return k;
}

TEST(StateFile, KeptForecastsAndBudgetsReadBackAsWritten) {
    const KeptForecast k = Kept();
    const auto back = ReadKeptForecast(WriteKeptForecast(k));
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->place.id, k.place.id);
    EXPECT_EQ(back->place.name, k.place.name);
    EXPECT_EQ(back->place.timezone, k.place.timezone);
    EXPECT_DOUBLE_EQ(back->place.latitude, k.place.latitude);
    EXPECT_DOUBLE_EQ(back->place.longitude, k.place.longitude);
    EXPECT_EQ(back->storedUnix, k.storedUnix);
    EXPECT_EQ(back->imperial, k.imperial);
    EXPECT_EQ(back->metric, k.metric);

    GateSnapshot g;
    g.windows = {29945750, 3000, 499095, 42000, 20795, 1234567};
    g.pausedUntil = 1796745123;
    const auto gb = ReadGateSnapshot(WriteGateSnapshot(g));
    ASSERT_TRUE(gb.has_value());
    EXPECT_EQ(gb->windows.dayUsed, 1234567);
    EXPECT_EQ(gb->windows.minute, 29945750);
    EXPECT_EQ(gb->pausedUntil, 1796745123);
}

// Any change to a file makes it unreadable as a whole: never half a place.
TEST(StateFile, DamagedCutShortForeignAndOtherVersionsAreIgnored) {
    const std::string good = WriteKeptForecast(Kept());
    ASSERT_TRUE(ReadKeptForecast(good));
    for (std::size_t n = 0; n < good.size(); ++n) EXPECT_FALSE(ReadKeptForecast(good.substr(0, n))) << "cut at " << n;
    for (std::size_t i = 0; i < good.size(); i += 7) {
        std::string bad = good;
        bad[i] = static_cast<char>(bad[i] ^ 0x20);
        EXPECT_FALSE(ReadKeptForecast(bad)) << "byte " << i << " changed";
    }
    std::string v2 = good;
    v2.replace(v2.find(" 1 place"), 8, " 2 place");
    const struct {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"another version", v2},
        {"another kind", WriteGateSnapshot({})},
        {"something after the end", good + "x"},
        {"empty", ""},
        {"not ours", "{\"id\": 4250542}"},
        {"too large", good.substr(0, good.size() - 1) + std::string(kMaxStateFile, ' ')},
        {"a field twice", WriteStateFile("place", {{"id", "1"}, {"id", "2"}})},
        {"a field missing", WriteStateFile("place", {{"id", "4250542"}})},
        {"a length past the end", "cloudwick-feed state 1 place\nid 99999\n1\nend 0\n"},
    };
    for (const auto& c : cases) EXPECT_FALSE(ReadKeptForecast(c.bytes)) << c.what;
    EXPECT_FALSE(ReadGateSnapshot(good));
}

TEST(StateStore, KeepsAForecastPerPlaceInABoundedSetOfFiles) {
    TempFolder dir;
    StateStore store(dir.path + "/state", {});  // made on first use
    EXPECT_FALSE(store.LoadForecast(4250542));
    store.SaveForecast(Kept());
    const auto back = store.LoadForecast(4250542);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->metric, "<rss>metric</rss>");

    // Whatever the ids, the files stay among kPlaceSlots names, and a place
    // in a shared slot is never taken for another.
    std::set<std::string> names;
    for (int64_t id = 1; id < 20000; id += 3) names.insert(StateStore::PlaceFile(id));
    EXPECT_LE(names.size(), static_cast<std::size_t>(kPlaceSlots));
    EXPECT_GT(names.size(), static_cast<std::size_t>(kPlaceSlots) * 9 / 10);  // spread over them
    int64_t other = 4250543;
    while (StateStore::PlaceFile(other) != StateStore::PlaceFile(4250542)) ++other;
    store.SaveForecast(Kept(other));
    EXPECT_FALSE(store.LoadForecast(4250542));
    EXPECT_TRUE(store.LoadForecast(other));

    // A damaged file is not read; the next save replaces it.
    WriteAll(dir.File("state/" + StateStore::PlaceFile(other)), "garbage");
    EXPECT_FALSE(store.LoadForecast(other));
    store.SaveForecast(Kept(other));
    EXPECT_TRUE(store.LoadForecast(other));
    EXPECT_EQ(access(dir.File("state/" + StateStore::PlaceFile(other) + ".new").c_str(), F_OK), -1);
}

// Runs `check` (0: passed) as an unprivileged user when the tests run as
// root, for whom no folder is read-only.
int Unprivileged(const std::function<int()>& check) {
    if (geteuid() != 0) return check();
    const pid_t child = fork();
    if (child == 0) {
        _exit(setgid(65534) == 0 && setuid(65534) == 0 ? check() : 99);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 98;
}

TEST(StateStore, AFolderThatCannotBeWrittenIsToldOnceAndHarmless) {
    TempFolder dir;
    StateStore(dir.path, {}).SaveForecast(Kept());
    chmod(dir.File(StateStore::PlaceFile(4250542)).c_str(), 0644);
    chmod(dir.path.c_str(), 0555);
    const int result = Unprivileged([&] {
        std::vector<std::string> notes;
        StateStore store(dir.path, [&](const std::string& n) { notes.push_back(n); });
        for (int i = 0; i < 5; ++i) store.SaveForecast(Kept(100 + i));
        store.Save(GateSnapshot{});
        if (notes.size() != 1) return 1;
        if (notes[0].find("cannot keep state in " + dir.path) == std::string::npos) return 2;
        if (!store.LoadForecast(4250542)) return 3;  // what was kept is still read
        if (store.LoadForecast(100)) return 4;
        return 0;
    });
    EXPECT_EQ(result, 0);
    chmod(dir.path.c_str(), 0700);
    StateStore again(dir.path, {});
    again.SaveForecast(Kept(100));
    EXPECT_TRUE(again.LoadForecast(100));
}

TEST(StateStore, AFolderDeletedWhileRunningIsMadeAgain) {
    TempFolder dir;
    StateStore store(dir.path, {});
    store.SaveForecast(Kept());
    ASSERT_TRUE(store.LoadForecast(4250542));
    for (int round = 0; round < 2; ++round) {
        std::remove(dir.File(StateStore::PlaceFile(4250542)).c_str());
        ASSERT_EQ(rmdir(dir.path.c_str()), 0);
        store.SaveForecast(Kept());
        EXPECT_TRUE(store.LoadForecast(4250542)) << round;
        store.Save(GateSnapshot{});
        EXPECT_TRUE(store.Load()) << round;
        std::remove(dir.File("budget.state").c_str());
    }
}

// A folder that is a file, a folder that cannot be made: the same.
TEST(StateStore, AnUnusableFolderKeepsNothingAndSaysSo) {
    TempFolder dir;
    WriteAll(dir.File("file"), "x");
    int told = 0;
    StateStore store(dir.File("file") + "/state", [&](const std::string&) { ++told; });
    store.SaveForecast(Kept());
    store.Save(GateSnapshot{});
    EXPECT_FALSE(store.LoadForecast(4250542));
    EXPECT_FALSE(store.Load());
    EXPECT_EQ(told, 1);

    StateStore none("", [&](const std::string&) { ++told; });
    EXPECT_FALSE(none.Keeps());
    none.SaveForecast(Kept());
    EXPECT_FALSE(none.LoadForecast(4250542));
    EXPECT_EQ(told, 1);
}

TEST(StateStore, TheWindowsFolderIsBesideTheProgram) {
    EXPECT_EQ(StateFolderBeside("C:\\Program Files\\Cloudwick"), "C:\\Program Files\\Cloudwick\\cloudwick-feed-state");
    EXPECT_EQ(StateFolderBeside("C:\\"), "C:\\cloudwick-feed-state");
}

// A scripted source for the gate: answers 200 at once and counts.
class CountingClient : public UpstreamClient {
public:
    int calls = 0;
    long status = 200;
    int retryAfter = 0;
    UpstreamReply Get(const std::string&, std::chrono::milliseconds) override {
        ++calls;
        UpstreamReply r;
        r.transportOk = true;
        r.status = status;
        r.retryAfter = retryAfter;
        return r;
    }
};

// A crash loop cannot overrun the day's calls: each new process goes on
// from what the last one used, and keeps its pause.
TEST(StateStore, TheBudgetAndThePauseSurviveARestart) {
    TempFolder dir;
    int64_t now = 1796745000;  // 15:50 UTC
    GateRules rules;
    rules.calls = {100, 100, 5, 100};  // five calls a day
    CountingClient client;
    for (int run = 0; run < 5; ++run) {
        StateStore store(dir.path, {});
        UpstreamGate gate(rules, [&] { return now; }, &store);
        EXPECT_FALSE(gate.Call(client, "u", std::chrono::milliseconds(100), kOneCall, {}).refused) << "run " << run;
        now += 61;
    }
    {
        StateStore store(dir.path, {});
        UpstreamGate gate(rules, [&] { return now; }, &store);
        const UpstreamReply r = gate.Call(client, "u", std::chrono::milliseconds(100), kOneCall, {});
        EXPECT_TRUE(r.refused);
        EXPECT_EQ(r.trouble, Trouble::DayUsedUp);
        EXPECT_EQ(client.calls, 5);
    }
    now += 86400;  // a new day: the kept day is over
    {
        StateStore store(dir.path, {});
        UpstreamGate gate(rules, [&] { return now; }, &store);
        client.status = 429;
        client.retryAfter = 600;
        EXPECT_FALSE(gate.Call(client, "u", std::chrono::milliseconds(100), kOneCall, {}).refused);
    }
    now += 100;
    {
        StateStore store(dir.path, {});
        UpstreamGate gate(rules, [&] { return now; }, &store);
        const UpstreamReply r = gate.Call(client, "u", std::chrono::milliseconds(100), kOneCall, {});
        EXPECT_TRUE(r.refused);
        EXPECT_EQ(r.trouble, Trouble::SourcePaused);
        EXPECT_EQ(r.retryAfter, 500);
    }
    // The clock set back a day: the kept pause, longer than any the source
    // may ask for, is not kept, and the kept day is not this one.
    now -= 86400;
    StateStore store(dir.path, {});
    UpstreamGate gate(rules, [&] { return now; }, &store);
    EXPECT_EQ(gate.Now().pausedFor, 0);
    EXPECT_EQ(gate.Now().used.day, 0);
}

}  // namespace
