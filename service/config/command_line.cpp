#include "config/command_line.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "model/feed_dates.h"
#include "model/ascii.h"
#include "http/client_address.h"

namespace {

bool ReadInt(const std::string& s, int lo, int hi, int& out) {
    if (s.empty() || s.size() > 9) return false;
    for (char c : s) {
        if (c < '0' || c > '9') return false;
    }
    const long v = std::strtol(s.c_str(), nullptr, 10);
    if (v < lo || v > hi) return false;
    out = static_cast<int>(v);
    return true;
}

bool ReadPid(const std::string& s, long long& out) {
    if (s.empty() || s.size() > 10) return false;
    long long v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
    }
    if (v < 1 || v > 4294967295LL) return false;
    out = v;
    return true;
}

bool IsHttpUrl(const std::string& s) { return s.rfind("http://", 0) == 0 || s.rfind("https://", 0) == 0; }

bool IsHostName(const std::string& s) {
    if (s.empty() || s.size() > 253) return false;
    for (char c : s) {
        if (!isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '.') return false;
    }
    return !IsIpv4Address(s) && s.find_first_not_of("0123456789.") != std::string::npos;
}

// "ADDR:PORT" with ADDR an IPv4 address, a host name or [IPv6]; the
// error says what is wrong in plain words.
bool ReadListen(const std::string& v, std::string& host, int& port, std::string& error) {
    const std::string example = " (for example 127.0.0.1:80, [::1]:80 or [::]:80)";
    std::string h, p;
    if (!v.empty() && v[0] == '[') {
        const std::size_t close = v.find(']');
        if (close == std::string::npos || close + 1 >= v.size() || v[close + 1] != ':') {
            error = "--listen: an IPv6 address goes in brackets, then a colon and the port" + example;
            return false;
        }
        h = v.substr(1, close - 1);
        p = v.substr(close + 2);
        if (!IsIpv6Address(h)) {
            error = "--listen: \"" + h + "\" is not an IPv6 address" + example;
            return false;
        }
    } else {
        const std::size_t colon = v.rfind(':');
        if (colon == std::string::npos || colon == 0) {
            error = "--listen wants ADDR:PORT" + example;
            return false;
        }
        h = v.substr(0, colon);
        p = v.substr(colon + 1);
        if (h.find(':') != std::string::npos) {
            error = "--listen: put an IPv6 address in brackets, as [" + h + "]:" + p + example;
            return false;
        }
        if (!IsIpv4Address(h) && !IsHostName(h)) {
            error = "--listen: \"" + h + "\" is not an IPv4 address or a host name" + example;
            return false;
        }
    }
    if (!ReadInt(p, 0, 65535, port)) {
        error = "--listen: the port must be a number from 0 to 65535" + example;
        return false;
    }
    host = h;
    return true;
}

bool ReadCallLimits(const std::string& v, CommandLine& o) {
    int n[3];
    std::size_t at = 0;
    for (int i = 0; i < 3; ++i) {
        const std::size_t end = i < 2 ? v.find(',', at) : v.size();
        if (end == std::string::npos || !ReadInt(v.substr(at, end - at), 1, 10000000, n[i])) return false;
        at = end + 1;
    }
    o.callsPerMinute = n[0];
    o.callsPerHour = n[1];
    o.callsPerDay = n[2];
    return true;
}

std::vector<std::string> CommaList(const std::string& v) {
    std::vector<std::string> out;
    std::size_t at = 0;
    while (at <= v.size()) {
        const std::size_t end = std::min(v.find(',', at), v.size());
        out.push_back(v.substr(at, end - at));
        at = end + 1;
    }
    return out;
}

// IPv4 or IPv6 addresses (IPv6 with or without brackets), kept in lower case.
bool ReadTrustedProxies(const std::string& v, std::vector<std::string>& out) {
    std::vector<std::string> list;
    for (std::string a : CommaList(v)) {
        if (a.size() > 2 && a.front() == '[' && a.back() == ']') a = a.substr(1, a.size() - 2);
        if (!IsIpv4Address(a) && !IsIpv6Address(a)) return false;
        list.push_back(CanonicalAddress(a));
    }
    out = list;
    return true;
}

// Host names, IPv4 addresses or [IPv6] addresses, kept in lower case.
bool ReadAllowedHosts(const std::string& v, std::vector<std::string>& out) {
    std::vector<std::string> list;
    for (const std::string& h : CommaList(v)) {
        const bool v6 = h.size() > 2 && h.front() == '[' && h.back() == ']' && IsIpv6Address(h.substr(1, h.size() - 2));
        if (!v6 && !IsIpv4Address(h) && !IsHostName(h)) return false;
        list.push_back(AsciiLower(h));
    }
    out = list;
    return true;
}

// A base URL without its trailing slashes.
std::string WithoutTrailingSlashes(std::string url) {
    while (url.size() > 8 && url.back() == '/') url.pop_back();
    return url;
}

const char kUsageHead[] =
    "Usage: cloudwick-feed [options]\n"
    "Serves the Cloudwick card's weather feed and place search over HTTP.\n"
    "\n";
const char kUsageFoot[] =
    "\n"
    "On Windows, cloudwick-feed.conf beside the program may set the options too, one\n"
    "name=value line each (listen=127.0.0.1:80); the command line wins over the file.\n"
    "\n"
    "Requests: GET /forecastrss?w=<id>[&u=c], GET /v1/public/yql?q=<geo.places query>, GET /health.\n"
    "Weather data by Open-Meteo.com (CC BY 4.0); place search based on GeoNames, and on\n"
    "OpenStreetMap (ODbL) through Nominatim.\n";

// How one option's value is read into the options; false with `error` set
// when it cannot be.
using ReadValue = bool (*)(const std::string& name, const std::string& v, CommandLine& o, std::string& error);

bool ReadListenOption(const std::string&, const std::string& v, CommandLine& o, std::string& error) {
    if (!ReadListen(v, o.host, o.port, error)) return false;
    o.listenGiven = true;
    return true;
}

bool ReadProviderOption(const std::string&, const std::string& v, CommandLine& o, std::string& error) {
    if (v != "open-meteo" && v != "sample") {
        error = "--provider is open-meteo or sample";
        return false;
    }
    o.provider = v;
    return true;
}

bool ReadApiUrlOption(const std::string& name, const std::string& v, CommandLine& o, std::string& error) {
    if (!IsHttpUrl(v)) {
        error = name + " wants an http:// or https:// URL";
        return false;
    }
    (name == "--forecast-url" ? o.forecastUrl : o.geocodingUrl) = WithoutTrailingSlashes(v);
    return true;
}

bool ReadNominatimUrlOption(const std::string&, const std::string& v, CommandLine& o, std::string& error) {
    if (v != "off" && !IsHttpUrl(v)) {
        error = "--nominatim-url wants an http:// or https:// URL, or off";
        return false;
    }
    o.nominatimUrl = v == "off" ? "" : WithoutTrailingSlashes(v);
    return true;
}

bool ReadContactOption(const std::string&, const std::string& v, CommandLine& o, std::string& error) {
    bool printable = !v.empty() && v.size() <= 200;
    for (char c : v) printable = printable && c >= 0x20 && c < 0x7F;
    if (!printable) {
        error = "--contact wants an e-mail address or a web address (plain ASCII, up to 200 characters)";
        return false;
    }
    o.contact = v;
    return true;
}

bool ReadProxyOption(const std::string& name, const std::string& v, CommandLine& o, std::string& error) {
    const bool proxy = name == "--proxy";
    bool fits = !v.empty() && v.size() <= (proxy ? 255u : 1024u);
    for (char c : v) fits = fits && c > 0x20 && c < 0x7F && c != '"' && c != '\\';
    if (!fits || (proxy && (v.find(',') != std::string::npos || v.find(';') != std::string::npos))) {
        error = proxy ? "--proxy wants one proxy as HOST:PORT or http://HOST:PORT"
                      : "--no-proxy wants host names separated by commas, without spaces";
        return false;
    }
    (proxy ? o.proxy : o.noProxy) = v;
    return true;
}

bool ReadCallLimitsOption(const std::string&, const std::string& v, CommandLine& o, std::string& error) {
    if (!ReadCallLimits(v, o)) {
        error = "--call-limits wants three numbers: per minute, hour and day (500,4500,9000)";
        return false;
    }
    return true;
}

bool ReadTrustProxyOption(const std::string&, const std::string& v, CommandLine& o, std::string& error) {
    if (!ReadTrustedProxies(v, o.trustedProxies)) {
        error = "--trust-proxy wants the addresses of the proxies in front, comma-separated "
                "(for example 127.0.0.1 or 127.0.0.1,::1)";
        return false;
    }
    return true;
}

bool ReadAllowedHostOption(const std::string&, const std::string& v, CommandLine& o, std::string& error) {
    if (!ReadAllowedHosts(v, o.allowedHosts)) {
        error = "--allowed-host wants host names, comma-separated (for example "
                "weather.example.org,localhost; IPv6 in brackets: [::1])";
        return false;
    }
    o.allowedHostsGiven = true;
    return true;
}

bool ReadStateDirOption(const std::string&, const std::string& v, CommandLine& o, std::string& error) {
    bool printable = !v.empty() && v.size() <= 400;
    for (char c : v) printable = printable && static_cast<unsigned char>(c) >= 0x20 && c != 0x7F;
    if (!printable) {
        error = "--state-dir wants a folder (up to 400 characters)";
        return false;
    }
    o.stateDir = v;
    return true;
}

bool ReadFixedTimeOption(const std::string&, const std::string& v, CommandLine& o, std::string& error) {
    const auto t = ReadIsoLocal(v);
    if (!t || v.size() != 16) {
        error = "--fixed-time wants YYYY-MM-DDTHH:MM";
        return false;
    }
    o.fixedTimeUnix = UnixFromLocal(*t);
    return true;
}

bool ReadParentPidOption(const std::string&, const std::string& v, CommandLine& o, std::string& error) {
    if (!ReadPid(v, o.parentPid)) {
        error = "--parent-pid wants a process id";
        return false;
    }
    return true;
}

// Every option, in the order --help lists them: its name, what --help says
// of it, whether cloudwick-feed.conf may set it (all that take a value but
// --parent-pid, which only the program that starts the service knows), and
// how its value is read: by `read`, or as a whole number from `min` to
// `max` into `number`, with `numberError` when it is not.
struct OptionRow {
    const char* name;
    const char* help;
    bool inFile;
    ReadValue read;
    int min = 0, max = 0;
    int CommandLine::*number = nullptr;
    const char* numberError = nullptr;
};

const OptionRow kOptionRows[] = {
    {"--listen",
     "  --listen ADDR:PORT        address to listen on (default 127.0.0.1:80; on Windows\n"
     "                            127.0.0.1 on a free port, told to the user's cards); IPv6\n"
     "                            in brackets: [::1]:80, or [::]:80 for every address\n",
     true, ReadListenOption},
    {"--provider",
     "  --provider NAME           open-meteo (live data, default) or sample (built-in, no network)\n",
     true, ReadProviderOption},
    {"--forecast-url",
     "  --forecast-url URL        forecast API (default https://api.open-meteo.com/v1/forecast)\n",
     true, ReadApiUrlOption},
    {"--geocoding-url",
     "  --geocoding-url URL       geocoding API base, without /search or /get\n"
     "                            (default https://geocoding-api.open-meteo.com/v1)\n",
     true, ReadApiUrlOption},
    {"--upstream-timeout-ms",
     "  --upstream-timeout-ms N   give up on an upstream call after N ms (default 5000)\n",
     true, nullptr, 1, 600000, &CommandLine::upstreamTimeoutMs, "--upstream-timeout-ms wants a number of milliseconds"},
    {"--nominatim-url",
     "  --nominatim-url URL|off   geocoder asked when Open-Meteo finds no place, at most once a\n"
     "                            second (default https://nominatim.openstreetmap.org)\n",
     true, ReadNominatimUrlOption},
    {"--contact",
     "  --contact ADDRESS         your e-mail address or web page, sent in the User-Agent as\n"
     "                            Nominatim's usage policy asks; give it on a public host\n",
     true, ReadContactOption},
    {"--proxy",
     "  --proxy HOST:PORT         the proxy for every call to the source (default: the system's;\n"
     "                            on Linux https_proxy and no_proxy)\n",
     true, ReadProxyOption},
    {"--no-proxy",
     "  --no-proxy NAME[,NAME...] hosts reached without the proxy (.example.org: its subdomains)\n",
     true, ReadProxyOption},
    {"--threads",
     "  --threads N               request worker threads (default 32)\n",
     true, nullptr, 1, 256, &CommandLine::threads, "--threads wants a number from 1 to 256"},
    {"--upstream-concurrency",
     "  --upstream-concurrency N  calls to the source at once (default 1, as the free tier allows)\n",
     true, nullptr, 1, 16, &CommandLine::upstreamConcurrency, "--upstream-concurrency wants a number from 1 to 16"},
    {"--call-limits",
     "  --call-limits M,H,D       calls to the source per minute, hour and day, weighted as the\n"
     "                            source counts them (default 500,4500,9000; it allows 600,5000,10000)\n",
     true, ReadCallLimitsOption},
    {"--client-calls-per-minute",
     "  --client-calls-per-minute N\n"
     "                            requests one client may make that need the source (default 10)\n",
     true, nullptr, 1, 100000, &CommandLine::clientCallsPerMinute, "--client-calls-per-minute wants a number from 1 to 100000"},
    {"--trust-proxy",
     "  --trust-proxy ADDR[,ADDR...]\n"
     "                            reverse proxies in front (e.g. 127.0.0.1): for their requests the\n"
     "                            client is the address they put in X-Forwarded-For\n",
     true, ReadTrustProxyOption},
    {"--allowed-host",
     "  --allowed-host NAME[,NAME...]\n"
     "                            host names requests may be for (default localhost,127.0.0.1,[::1]);\n"
     "                            others get 403. A public host names its own: weather.example.org\n",
     true, ReadAllowedHostOption},
    {"--state-dir",
     "  --state-dir DIR           keep the call budget and the last good forecasts in DIR across\n"
     "                            restarts (made if missing; default: keep nothing)\n",
     true, ReadStateDirOption},
    {"--fixed-time",
     "  --fixed-time YYYY-MM-DDTHH:MM\n"
     "                            date the sample documents with this UTC time instead of now\n",
     true, ReadFixedTimeOption},
    {"--parent-pid",
     "  --parent-pid N            end shortly after process N ends (the card passes its own id)\n",
     false, ReadParentPidOption},
    {"--help",
     "  --help                    show this text\n",
     false, nullptr},
};

const OptionRow* FindOption(const std::string& name) {
    for (const OptionRow& row : kOptionRows)
        if (name == row.name) return &row;
    return nullptr;
}

}  // namespace

CommandLineResult ParseCommandLine(const std::vector<std::string>& args) {
    CommandLineResult r;
    CommandLine& o = r.options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h") {
            o.help = true;
            continue;
        }
        if (i + 1 >= args.size()) {
            r.error = a.rfind("--", 0) == 0 ? a + " needs a value" : "unknown argument " + a;
            return r;
        }
        const std::string& v = args[++i];
        const OptionRow* row = FindOption(a);
        if (!row || (!row->read && !row->number)) {
            r.error = "unknown option " + a + " (see --help)";
            return r;
        }
        if (row->number ? !ReadInt(v, row->min, row->max, o.*(row->number)) : !row->read(a, v, o, r.error)) {
            if (row->number) r.error = row->numberError;
            return r;
        }
    }
    r.ok = true;
    return r;
}

std::string UsageText() {
    std::string text = kUsageHead;
    for (const OptionRow& row : kOptionRows) text += row.help;
    return text + kUsageFoot;
}

std::string ListenAddress(const std::string& host, int port) {
    return (host.find(':') != std::string::npos ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

bool IsFileOption(const std::string& name) {
    const OptionRow* row = FindOption("--" + name);
    return row && row->inFile;
}
