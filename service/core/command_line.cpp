#include "core/command_line.h"

#include <cstdlib>

#include "core/feed_dates.h"

const char kUsage[] =
    "Usage: cloudwick-feed [options]\n"
    "Serves the Cloudwick card's weather feed and place search over HTTP.\n"
    "\n"
    "  --listen ADDR:PORT        address to listen on (default 127.0.0.1:80)\n"
    "  --provider NAME           open-meteo (live data, default) or sample (built-in, no network)\n"
    "  --forecast-url URL        forecast API (default https://api.open-meteo.com/v1/forecast)\n"
    "  --geocoding-url URL       geocoding API base, without /search or /get\n"
    "                            (default https://geocoding-api.open-meteo.com/v1)\n"
    "  --upstream-timeout-ms N   give up on an upstream call after N ms (default 5000)\n"
    "  --nominatim-url URL|off   geocoder asked when Open-Meteo finds no place, at most once a\n"
    "                            second (default https://nominatim.openstreetmap.org)\n"
    "  --contact ADDRESS         your e-mail address or web page, sent in the User-Agent as\n"
    "                            Nominatim's usage policy asks; give it on a public host\n"
    "  --threads N               request worker threads (default 32)\n"
    "  --fixed-time YYYY-MM-DDTHH:MM\n"
    "                            date the sample documents with this UTC time instead of now\n"
    "  --parent-pid N            end shortly after process N ends (the card passes its own id)\n"
    "  --help                    show this text\n"
    "\n"
    "On Windows, cloudwick-feed.conf beside the program may set the options too, one\n"
    "name=value line each (listen=127.0.0.1:80); the command line wins over the file.\n"
    "\n"
    "Requests: GET /forecastrss?w=<id>[&u=c], GET /v1/public/yql?q=<geo.places query>, GET /health.\n"
    "Weather data by Open-Meteo.com (CC BY 4.0); place search based on GeoNames, and on\n"
    "OpenStreetMap (ODbL) through Nominatim.\n";

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
        if (a == "--listen") {
            const std::size_t colon = v.rfind(':');
            if (colon == std::string::npos || colon == 0 || !ReadInt(v.substr(colon + 1), 0, 65535, o.port)) {
                r.error = "--listen wants ADDR:PORT, for example 127.0.0.1:8080";
                return r;
            }
            o.host = v.substr(0, colon);
        } else if (a == "--provider") {
            if (v != "open-meteo" && v != "sample") {
                r.error = "--provider is open-meteo or sample";
                return r;
            }
            o.provider = v;
        } else if (a == "--forecast-url" || a == "--geocoding-url") {
            if (!IsHttpUrl(v)) {
                r.error = a + " wants an http:// or https:// URL";
                return r;
            }
            std::string url = v;
            while (url.size() > 8 && url.back() == '/') url.pop_back();
            (a == "--forecast-url" ? o.forecastUrl : o.geocodingUrl) = url;
        } else if (a == "--nominatim-url") {
            if (v != "off" && !IsHttpUrl(v)) {
                r.error = "--nominatim-url wants an http:// or https:// URL, or off";
                return r;
            }
            std::string url = v == "off" ? "" : v;
            while (url.size() > 8 && url.back() == '/') url.pop_back();
            o.nominatimUrl = url;
        } else if (a == "--contact") {
            bool printable = !v.empty() && v.size() <= 200;
            for (char c : v) printable = printable && c >= 0x20 && c < 0x7F;
            if (!printable) {
                r.error = "--contact wants an e-mail address or a web address (plain ASCII, up to 200 characters)";
                return r;
            }
            o.contact = v;
        } else if (a == "--upstream-timeout-ms") {
            if (!ReadInt(v, 1, 600000, o.upstreamTimeoutMs)) {
                r.error = "--upstream-timeout-ms wants a number of milliseconds";
                return r;
            }
        } else if (a == "--threads") {
            if (!ReadInt(v, 1, 256, o.threads)) {
                r.error = "--threads wants a number from 1 to 256";
                return r;
            }
        } else if (a == "--fixed-time") {
            const auto t = ReadIsoLocal(v);
            if (!t || v.size() != 16) {
                r.error = "--fixed-time wants YYYY-MM-DDTHH:MM";
                return r;
            }
            o.fixedTimeUnix = UnixFromLocal(*t);
        } else if (a == "--parent-pid") {
            if (!ReadPid(v, o.parentPid)) {
                r.error = "--parent-pid wants a process id";
                return r;
            }
        } else {
            r.error = "unknown option " + a + " (see --help)";
            return r;
        }
    }
    r.ok = true;
    return r;
}

bool IsFileOption(const std::string& name) {
    for (const char* n : {"listen", "provider", "forecast-url", "geocoding-url", "upstream-timeout-ms", "threads",
                          "fixed-time", "nominatim-url", "contact"}) {
        if (name == n) return true;
    }
    return false;
}
