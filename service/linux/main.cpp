// cloudwick-feed on Linux: serves the card's weather feed and place search.
// Reads the command line and starts the service (server/feed_program.h);
// the log goes to standard error.
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <iostream>
#include <thread>

#include "config/command_line.h"
#include "config/provider_choice.h"
#include "linux/curl_client.h"
#include "server/feed_program.h"

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

void WriteAll(const std::string& text) {
    std::size_t at = 0;
    while (at < text.size()) {
        const ssize_t n = write(STDERR_FILENO, text.data() + at, text.size() - at);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        at += static_cast<std::size_t>(n);
    }
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
        std::cout << UsageText();
        return 0;
    }

    // SIGINT and SIGTERM are taken by a waiting thread, which stops the
    // server outside of any signal handler; so is the end of --parent-pid.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    CurlClient client;
    client.SetUserAgent(UserAgentFor(o));
    client.SetProxy(o.proxy, o.noProxy);
    FeedProgram program(o, client, WriteAll, ScreenRules{o.allowedHosts});
    std::string why;
    const int port = program.Listen(why);
    if (port < 0) {
        program.log().Note("cannot listen on " + ListenAddress(o.host, o.port) + ": " + why);
        return 1;
    }
    program.log().Note(program.Summary(port));
    if (o.provider != "sample") program.log().Note(FallbackNote(o));

    if (o.parentPid > 0) {
        const pid_t parent = static_cast<pid_t>(o.parentPid);
        if (kill(parent, 0) != 0 && errno == ESRCH) {
            program.log().Note("process " + std::to_string(o.parentPid) + " (--parent-pid) is not running");
            return 4;
        }
        std::thread([parent, &program] {
            if (!WaitForProcessEnd(parent)) return;
            program.log().Note("process " + std::to_string(parent) + " has ended; stopping");
            kill(getpid(), SIGTERM);
        }).detach();
    }
    // Run() ends only through Stop(), which only this thread calls.
    std::thread stopper([&] {
        int sig = 0;
        sigwait(&stopSignals, &sig);
        program.Stop();
    });
    program.Run();
    stopper.join();
    return 0;
}
