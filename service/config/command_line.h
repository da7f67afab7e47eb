#pragma once
// The service's command line.
#include <optional>
#include <string>
#include <vector>

struct CommandLine {
    std::string host = "127.0.0.1";  // an IPv6 address without its brackets: "::1"
    int port = 80;
    bool listenGiven = false;  // --listen (or listen= in the file) chose the address
    std::string provider = "open-meteo";  // or "sample"
    std::string forecastUrl = "https://api.open-meteo.com/v1/forecast";
    std::string geocodingUrl = "https://geocoding-api.open-meteo.com/v1";
    int upstreamTimeoutMs = 5000;
    // Nominatim, asked when Open-Meteo finds no place; "" (--nominatim-url off): never.
    std::string nominatimUrl = "https://nominatim.openstreetmap.org";
    std::string contact;  // --contact: the operator's e-mail or URL, sent in the User-Agent
    // --proxy HOST:PORT (or http://HOST:PORT): every upstream call goes through it
    // ("": the system's proxy settings; on Linux https_proxy and no_proxy).
    std::string proxy;
    std::string noProxy;  // --no-proxy NAME[,NAME...]: hosts reached without the proxy
    int threads = 32;
    std::optional<long long> fixedTimeUnix;  // --fixed-time: the sample provider's clock
    long long parentPid = 0;  // --parent-pid: end shortly after this process ends (0: run on)
    // --trust-proxy ADDR[,ADDR...]: reverse proxies whose X-Forwarded-For names the client.
    std::vector<std::string> trustedProxies;
    // --allowed-host NAME[,NAME...]: the Host names requests may be for (lower case, no port).
    std::vector<std::string> allowedHosts{"localhost", "127.0.0.1", "[::1]"};
    bool allowedHostsGiven = false;
    int upstreamConcurrency = 1;      // calls to the source at once
    int clientCallsPerMinute = 10;    // per client: requests that need the source
    int callsPerMinute = 500, callsPerHour = 4500, callsPerDay = 9000;  // --call-limits
    // --state-dir: where the budget and the last good forecasts are kept
    // across restarts ("": nothing is kept; Windows keeps them beside the program).
    std::string stateDir;
    bool help = false;
};

struct CommandLineResult {
    bool ok = false;
    CommandLine options;
    std::string error;  // plain words, when !ok
};

// "127.0.0.1:80", "[::1]:80": the address as --listen takes it.
std::string ListenAddress(const std::string& host, int port);

// Reads the options in order; a later option overrides an earlier one.
CommandLineResult ParseCommandLine(const std::vector<std::string>& args);

// True for the long option names (without "--") that the options file
// beside the Windows program may set: all that take a value, except
// --parent-pid, which only the program that starts the service knows.
bool IsFileOption(const std::string& name);

// What --help prints: every option, from the same table the parser and
// IsFileOption read.
std::string UsageText();
