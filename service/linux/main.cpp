// cloudwick-feed on Linux: serves the card's weather feed and place search.
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <ctime>
#include <iostream>
#include <memory>
#include <mutex>
#include <thread>

#include "core/command_line.h"
#include "core/feed_router.h"
#include "core/feed_service.h"
#include "core/provider_choice.h"
#include "linux/curl_client.h"
#include "linux/httplib_server.h"

namespace {

// Blocks until process `pid` has ended; false when it cannot be watched.
bool WaitForProcessEnd(pid_t pid) {
    const int fd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
    if (fd < 0) return false;
    pollfd p{fd, POLLIN, 0};
    while (poll(&p, 1, -1) < 0) {
    }
    close(fd);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const CommandLineResult cl = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    if (!cl.ok) {
        std::cerr << "cloudwick-feed: " << cl.error << "\n";
        return 2;
    }
    const CommandLine& o = cl.options;
    if (o.help) {
        std::cout << kUsage;
        return 0;
    }

    const std::function<int64_t()> nowUnix = ServiceClock(o);
    CurlClient client;
    client.SetUserAgent(UserAgentFor(o));
    StateStore state(StateFolderFor(o), [](const std::string& s) { std::cerr << "cloudwick-feed: " + s + "\n"; });
    const std::unique_ptr<Provider> provider = MakeProvider(o, nowUnix, client, &state);
    FeedService service(*provider, ServiceRulesFor(o), [] { return std::chrono::steady_clock::now(); }, nowUnix, &state);
    FeedRouter router(service);
    std::mutex logMutex;
    const auto log = [&logMutex](const std::string& line) {
        std::lock_guard<std::mutex> lock(logMutex);
        std::cerr << line << std::flush;
    };
    HttpServerOptions serverOptions;
    serverOptions.threads = o.threads;
    serverOptions.trustProxy = o.trustProxy;
    FeedHttpServer server(router, log, serverOptions);
    std::string why;
    const int port = server.Bind(o.host, o.port, &why);
    if (port < 0) {
        log("cloudwick-feed: cannot listen on " + ListenAddress(o.host, o.port) + ": " + why + "\n");
        return 1;
    }
    log("cloudwick-feed: listening on " + ListenAddress(o.host, port) + " with provider " + provider->Name() +
        (o.trustProxy ? "; clients from X-Forwarded-For" : "") + "\n");
    if (o.provider != "sample") log("cloudwick-feed: " + FallbackNote(o) + "\n");

    // SIGINT and SIGTERM are taken by a waiting thread, which stops the
    // server outside of any signal handler; so is the end of --parent-pid.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    std::atomic<bool> signalled{false}, runDone{false};
    if (o.parentPid > 0) {
        const pid_t parent = static_cast<pid_t>(o.parentPid);
        if (kill(parent, 0) != 0 && errno == ESRCH) {
            log("cloudwick-feed: process " + std::to_string(o.parentPid) + " (--parent-pid) is not running\n");
            return 4;
        }
        std::thread([parent, log] {
            if (!WaitForProcessEnd(parent)) return;
            log("cloudwick-feed: process " + std::to_string(parent) + " has ended; stopping\n");
            kill(getpid(), SIGTERM);
        }).detach();
    }
    std::thread stopper([&] {
        int sig = 0;
        sigwait(&stopSignals, &sig);
        signalled = true;
        // Stop() has no effect on a Run() that has not started yet: repeat.
        while (!runDone) {
            server.Stop();
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    });
    const bool ok = server.Run();
    runDone = true;
    if (!signalled) pthread_kill(stopper.native_handle(), SIGTERM);  // wake the waiter
    stopper.join();
    return ok ? 0 : 1;
}
