// cloudwick-feed.exe: the feed service on Windows. No window, no console;
// it writes cloudwick-feed.log beside itself and reads its options from the
// command line and from cloudwick-feed.conf beside itself.
//
// Exit codes: 0 --help; 1 cannot listen (a --listen port in use); 2 bad
// options; 3 another copy from this folder already runs for this user;
// 4 the --parent-pid process is not running.
// Without --listen it listens on 127.0.0.1 on a port of its own, published
// to this user's cards (lifetime_win.h).
// Started with --parent-pid, it ends (code 0) shortly after that process
// and every other card that registered with it have ended.
#include <windows.h>
#include <shellapi.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <memory>

#include "config/command_line.h"
#include "config/conf_file.h"
#include "config/provider_choice.h"
#include "http/request_log.h"
#include "server/feed_program.h"
#include "windows/installer_command_win.h"
#include "windows/lifetime_win.h"
#include "windows/log_file_win.h"
#include "windows/wide_path_win.h"
#include "windows/winhttp_client_win.h"

namespace {

// The file's bytes (at most 64 KB); false when there is no such file.
bool ReadWholeFile(const std::string& path, std::string& out) {
    HANDLE f = CreateFileW(WidePath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return false;
    char buf[65536];
    DWORD got = 0;
    const bool ok = ReadFile(f, buf, sizeof buf, &got, nullptr) != 0;
    CloseHandle(f);
    out.assign(buf, ok ? got : 0);
    return true;
}

// Proxy and NoProxy from HKLM\Software\Policies\Cloudwick (the Group
// Policy template's "Proxy for the weather service"): they win over
// proxy= and no-proxy=. A value the options would refuse is passed over,
// with a note.
void PolicyProxy(std::string& proxy, std::string& noProxy, const std::function<void(const std::string&)>& note) {
    const struct {
        const char* value;
        const char* option;
        std::string& out;
    } items[] = {{"Proxy", "--proxy", proxy}, {"NoProxy", "--no-proxy", noProxy}};
    for (const auto& item : items) {
        char buf[1100];
        DWORD size = sizeof buf;
        const LONG rc = RegGetValueA(HKEY_LOCAL_MACHINE, "Software\\Policies\\Cloudwick", item.value, RRF_RT_REG_SZ,
                                     nullptr, buf, &size);
        if (rc == ERROR_FILE_NOT_FOUND) continue;
        const CommandLineResult check =
            rc == ERROR_SUCCESS ? ParseCommandLine({item.option, buf}) : CommandLineResult{};
        if (!check.ok) {
            note(std::string("policy value ") + item.value + " passed over: " +
                 (rc == ERROR_SUCCESS ? check.error : "not a string of at most 1024 characters"));
            continue;
        }
        item.out = buf;
        note(std::string("policy sets ") + item.value + "=" + buf);
    }
}

// The command line's arguments after the program's name, as UTF-8.
std::vector<std::string> Arguments() {
    std::vector<std::string> out;
    int n = 0;
    LPWSTR* args = CommandLineToArgvW(GetCommandLineW(), &n);
    if (!args) return out;
    for (int i = 1; i < n; ++i) out.push_back(Utf8Path(args[i]));
    LocalFree(args);
    return out;
}

// --help's text, to the console or pipe it was started from, if any.
void PrintUsage() {
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    if ((!out || out == INVALID_HANDLE_VALUE) && AttachConsole(ATTACH_PARENT_PROCESS))
        out = GetStdHandle(STD_OUTPUT_HANDLE);
    if (!out || out == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    const std::string usage = UsageText();
    WriteFile(out, usage.data(), static_cast<DWORD>(usage.size()), &written, nullptr);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // The installer's --close and --uninstall, before anything of the service.
    int installerCode = 0;
    if (RunInstallerCommand(GetCommandLineW(), installerCode)) return installerCode;
    const std::wstring wideFolder = ProgramFolderWide();
    const std::string folder = Utf8Path(wideFolder);
    LogFile logFile(folder + "\\cloudwick-feed.log");
    // Before the service's own log queue runs: lines written at once, dated.
    const auto note = [&logFile](const std::string& text) {
        logFile.Write(UtcStamp(WallClockSeconds()) + " cloudwick-feed: " + text + "\n");
    };

    const std::string confPath = folder + "\\cloudwick-feed.conf";
    std::string confText;
    const bool haveConf = ReadWholeFile(confPath, confText);
    const ConfFileResult conf = haveConf ? ReadConfFile(confText) : ConfFileResult{true, {}, {}};
    if (!conf.ok) {
        note("cloudwick-feed.conf " + conf.error);
        return 2;
    }
    const CommandLineResult cl = ParseCommandLine(MergedArgs(conf.args, Arguments()));
    if (!cl.ok) {
        note(cl.error);
        return 2;
    }
    CommandLine o = cl.options;
    // Port 80 of loopback is one port for every program and user of the
    // PC: without --listen the service takes a free port of its own and
    // tells this user's cards which (PublishPort).
    if (!o.listenGiven) o.port = 0;
    if (o.help) {
        PrintUsage();
        return 0;
    }
    if (o.allowedHostsGiven) {
        // The local service answers the card only; web pages reach it by other names.
        note("allowed-host is for the Linux program; on Windows only localhost and 127.0.0.1 are answered");
        return 2;
    }
    if (!ClaimSingleInstance(wideFolder)) {
        note("another cloudwick-feed from this folder is already running for this user; this one exits");
        return 3;
    }
    WinHttpClient client(note);
    client.SetUserAgent(UserAgentFor(o));
    std::string proxy = o.proxy, noProxy = o.noProxy;
    PolicyProxy(proxy, noProxy, note);
    client.SetProxy(proxy, noProxy);
    FeedProgram program(o, client, [&logFile](const std::string& lines) { logFile.Write(lines); },
                        ScreenRules{{"localhost", "127.0.0.1"}}, folder);
    if (o.parentPid > 0) {
        const bool watching = WatchProcess(static_cast<uint32_t>(o.parentPid), [note, pid = o.parentPid] {
            // Card supervision (lifetime_win): ends once no card uses the service.
            note("process " + std::to_string(pid) + " that started the service has ended; stopping once no card uses it");
            ParentCardEnded();
        });
        if (!watching) {
            note("process " + std::to_string(o.parentPid) + " (--parent-pid) is not running; exiting");
            return 4;
        }
    }
    std::string why;
    const int port = program.Listen(why);
    if (port < 0) {
        note("cannot listen on " + ListenAddress(o.host, o.port) + ": " + why);
        return 1;
    }
    std::string config = program.Summary(port);
    config += haveConf ? "; options file " + confPath : "; no options file";
    config += o.parentPid > 0 ? "; ends with process " + std::to_string(o.parentPid) : "; started by hand";
    if (!PublishPort(port)) config += "; cannot tell the cards its port";
    program.log().Note(config);
    if (o.provider != "sample") program.log().Note(FallbackNote(o));

    // The service is ready: it listens and answers from here on. The ready
    // signal for waiting cards; a service a card started ends shortly after
    // the last card that used it.
    AnnounceListening(o.parentPid > 0, [&program] {
        program.log().Note("no card uses the service any more; stopping");
        program.log().Stop();  // what is queued is written first
        ExitProcess(0);
    });
    program.Run();
    return 0;
}
