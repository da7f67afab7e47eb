#pragma once
// The service put together, the same way on every platform: options ->
// provider -> service -> router -> server, with the log queue beside them.
// Each program's main only reads its options, gives the upstream client
// and where log lines go, and starts it.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "config/command_line.h"
#include "feed/feed_router.h"
#include "feed/feed_service.h"
#include "upstream/provider.h"
#include "http/request_screen.h"
#include "state/state_store.h"
#include "upstream/upstream_client.h"
#include "server/feed_server.h"
#include "server/log_queue.h"

class FeedProgram {
public:
    // `client` must outlive the program. `writeLog` gets batches of whole
    // lines from the log's own thread. `screen`: the Host names answered.
    // `programFolder`: where the Windows program keeps its state beside
    // itself ("" on Linux, where only --state-dir names a folder).
    FeedProgram(const CommandLine& options, UpstreamClient& client, std::function<void(const std::string&)> writeLog,
                ScreenRules screen, const std::string& programFolder = "");
    ~FeedProgram();

    // Listens where the options say: the port, or -1 with the reason in `why`.
    int Listen(std::string& why);
    // The start-up line: address, provider, proxies, host names.
    std::string Summary(int port) const;
    // Serves until Stop() (from any thread, also before Run()).
    void Run();
    void Stop();

    LogQueue& log() { return log_; }

private:
    const CommandLine options_;
    const std::string hostNames_;
    std::function<int64_t()> nowUnix_;
    LogQueue log_;
    StateStore state_;
    std::unique_ptr<Provider> provider_;
    FeedService service_;
    FeedRouter router_;
    FeedServer server_;
};

// Wall-clock unix seconds, for the log.
int64_t WallClockSeconds();
