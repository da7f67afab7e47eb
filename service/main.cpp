// cloudwick-feed: serves the card's weather feed and place search.
#include <atomic>
#include <chrono>
#include <csignal>
#include <ctime>
#include <iostream>
#include <memory>
#include <thread>

#include <pthread.h>
#include <signal.h>

#include "command_line.h"
#include "feed_service.h"
#include "http_fetch.h"
#include "http_server.h"
#include "open_meteo_provider.h"
#include "sample_provider.h"

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

    std::function<int64_t()> nowUnix = [] { return static_cast<int64_t>(std::time(nullptr)); };
    if (o.fixedTimeUnix) {
        const int64_t fixed = *o.fixedTimeUnix;
        nowUnix = [fixed] { return fixed; };
    }
    std::unique_ptr<Provider> provider;
    if (o.provider == "sample") {
        provider = std::make_unique<SampleProvider>(nowUnix);
    } else {
        HttpFetchInit();
        OpenMeteoConfig cfg;
        cfg.forecastUrl = o.forecastUrl;
        cfg.geocodingUrl = o.geocodingUrl;
        cfg.timeout = std::chrono::milliseconds(o.upstreamTimeoutMs);
        provider = std::make_unique<OpenMeteoProvider>(cfg);
    }

    FeedService service(*provider, ServiceRules{}, [] { return std::chrono::steady_clock::now(); }, nowUnix);
    FeedHttpServer server(service, std::cerr, o.threads);
    const int port = server.Bind(o.host, o.port);
    if (port < 0) {
        std::cerr << "cloudwick-feed: cannot listen on " << o.host << ":" << o.port
                  << " (in use, or a port below 1024 without root?)\n";
        return 1;
    }
    std::cerr << "cloudwick-feed: listening on " << o.host << ":" << port << " with provider " << provider->Name()
              << "\n";
    // SIGINT and SIGTERM are taken by a waiting thread, which stops the
    // server outside of any signal handler.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    std::atomic<bool> signalled{false}, runDone{false};
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
