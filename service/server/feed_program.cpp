#include "server/feed_program.h"

#include <ctime>

#include "config/provider_choice.h"

namespace {

FeedServerOptions ServerOptionsFor(const CommandLine& o, ScreenRules screen) {
    FeedServerOptions s;
    s.workers = o.threads;
    s.screen = std::move(screen);
    s.trustedProxies = o.trustedProxies;
    return s;
}

std::string Joined(const std::vector<std::string>& list) {
    std::string out;
    for (const std::string& s : list) out += (out.empty() ? "" : ",") + s;
    return out;
}

}  // namespace

int64_t WallClockSeconds() { return static_cast<int64_t>(std::time(nullptr)); }

FeedProgram::FeedProgram(const CommandLine& options, UpstreamClient& client,
                         std::function<void(const std::string&)> writeLog, ScreenRules screen,
                         const std::string& programFolder)
    : options_(options),
      hostNames_(Joined(screen.allowedHosts)),
      nowUnix_(ServiceClock(options)),
      log_(std::move(writeLog), WallClockSeconds),
      state_(StateFolderFor(options, programFolder), [this](const std::string& s) { log_.Note(s); }),
      provider_(MakeProvider(options, nowUnix_, client, &state_)),
      service_(*provider_, ServiceRulesFor(options), [] { return std::chrono::steady_clock::now(); }, nowUnix_,
               &state_),
      router_(service_),
      server_(router_, log_, ServerOptionsFor(options, std::move(screen))) {}

FeedProgram::~FeedProgram() {
    server_.Stop();
    log_.Stop();
}

int FeedProgram::Listen(std::string& why) { return server_.Listen(options_.host, options_.port, why); }

std::string FeedProgram::Summary(int port) const {
    std::string s = "listening on " + ListenAddress(options_.host, port) + " with provider " + provider_->Name();
    if (options_.provider != "sample") s += " (" + options_.forecastUrl + ", " + options_.geocodingUrl + ")";
    if (!options_.trustedProxies.empty())
        s += "; clients from X-Forwarded-For of " + Joined(options_.trustedProxies);
    s += "; answers requests for " + hostNames_;
    return s;
}

void FeedProgram::Run() { server_.Run(); }

void FeedProgram::Stop() { server_.Stop(); }
