#include "state/state_file.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

const char kMagic[] = "cloudwick-feed state ";

uint64_t Fnv1a(const std::string& s, std::size_t n) {
    uint64_t h = 14695981039346656037ull;
    for (std::size_t i = 0; i < n; ++i) {
        h ^= static_cast<unsigned char>(s[i]);
        h *= 1099511628211ull;
    }
    return h;
}

std::string Hex(uint64_t v) {
    char buf[17];
    std::snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(v));
    return buf;
}

bool IsName(const std::string& s) {
    if (s.empty() || s.size() > 32) return false;
    for (char c : s) {
        if (!((c >= 'a' && c <= 'z') || c == '_')) return false;
    }
    return true;
}

// A decimal number of at most `digits` digits, with an optional '-'.
bool ReadInteger(const std::string& s, int64_t& out, std::size_t digits = 18) {
    std::size_t i = !s.empty() && s[0] == '-' ? 1 : 0;
    if (s.size() == i || s.size() - i > digits) return false;
    int64_t v = 0;
    for (; i < s.size(); ++i) {
        if (s[i] < '0' || s[i] > '9') return false;
        v = v * 10 + (s[i] - '0');
    }
    out = s[0] == '-' ? -v : v;
    return true;
}

bool ReadNumber(const std::string& s, double& out) {
    if (s.empty() || s.size() > 40) return false;
    for (char c : s) {
        if (!((c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.' || c == 'e' || c == 'E')) return false;
    }
    char* end = nullptr;
    errno = 0;
    out = std::strtod(s.c_str(), &end);
    return end == s.c_str() + s.size() && errno == 0 && std::isfinite(out);
}

std::string Number(double v) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.9g", v);
    return buf;
}

}  // namespace

std::string WriteStateFile(const std::string& kind, const StateFields& fields) {
    std::string out = kMagic + std::to_string(kStateVersion) + " " + kind + "\n";
    for (const auto& [name, value] : fields) out += name + " " + std::to_string(value.size()) + "\n" + value + "\n";
    out += "end " + Hex(Fnv1a(out, out.size())) + "\n";
    return out;
}

std::optional<std::map<std::string, std::string>> ReadStateFile(const std::string& bytes, const std::string& kind) {
    if (bytes.size() > kMaxStateFile) return std::nullopt;
    const std::string head = kMagic + std::to_string(kStateVersion) + " " + kind + "\n";
    if (bytes.compare(0, head.size(), head) != 0) return std::nullopt;
    std::map<std::string, std::string> fields;
    std::size_t at = head.size();
    while (at < bytes.size()) {
        const std::size_t eol = bytes.find('\n', at);
        if (eol == std::string::npos) return std::nullopt;
        const std::string line = bytes.substr(at, eol - at);
        const std::size_t space = line.find(' ');
        if (space == std::string::npos) return std::nullopt;
        const std::string name = line.substr(0, space);
        const std::string rest = line.substr(space + 1);
        if (name == "end") {
            // The checksum covers everything before it, and nothing follows.
            if (eol + 1 != bytes.size() || rest != Hex(Fnv1a(bytes, at))) return std::nullopt;
            return fields;
        }
        int64_t length = 0;
        if (!IsName(name) || !ReadInteger(rest, length, 6) || length < 0) return std::nullopt;
        const std::size_t start = eol + 1;
        if (static_cast<uint64_t>(length) + 1 > bytes.size() - start) return std::nullopt;
        if (bytes[start + length] != '\n' || fields.count(name)) return std::nullopt;
        fields[name] = bytes.substr(start, length);
        at = start + length + 1;
    }
    return std::nullopt;  // no end line: cut short
}

std::string WriteKeptForecast(const KeptForecast& k) {
    const Place& p = k.place;
    return WriteStateFile("place", {
                                       {"id", std::to_string(p.id)},
                                       {"name", p.name},
                                       {"country_code", p.countryCode},
                                       {"country", p.country},
                                       {"country_id", std::to_string(p.countryId)},
                                       {"admin_one", p.admin1},
                                       {"admin_one_id", std::to_string(p.admin1Id)},
                                       {"admin_two", p.admin2},
                                       {"admin_two_id", std::to_string(p.admin2Id)},
                                       {"postcode", p.postcode},
                                       {"timezone", p.timezone},
                                       {"latitude", Number(p.latitude)},
                                       {"longitude", Number(p.longitude)},
                                       {"population", std::to_string(p.population)},
                                       {"stored", std::to_string(k.storedUnix)},
                                       {"imperial", k.imperial},
                                       {"metric", k.metric},
                                   });
}

std::optional<KeptForecast> ReadKeptForecast(const std::string& bytes) {
    const auto f = ReadStateFile(bytes, "place");
    if (!f) return std::nullopt;
    const auto text = [&](const char* name, std::string& out) {
        const auto it = f->find(name);
        if (it == f->end()) return false;
        out = it->second;
        return true;
    };
    const auto integer = [&](const char* name, int64_t& out) {
        const auto it = f->find(name);
        return it != f->end() && ReadInteger(it->second, out);
    };
    const auto number = [&](const char* name, double& out) {
        const auto it = f->find(name);
        return it != f->end() && ReadNumber(it->second, out);
    };
    KeptForecast k;
    Place& p = k.place;
    const bool ok = integer("id", p.id) && text("name", p.name) && text("country_code", p.countryCode) &&
                    text("country", p.country) && integer("country_id", p.countryId) && text("admin_one", p.admin1) &&
                    integer("admin_one_id", p.admin1Id) && text("admin_two", p.admin2) &&
                    integer("admin_two_id", p.admin2Id) && text("postcode", p.postcode) &&
                    text("timezone", p.timezone) && number("latitude", p.latitude) &&
                    number("longitude", p.longitude) && integer("population", p.population) &&
                    integer("stored", k.storedUnix) && text("imperial", k.imperial) && text("metric", k.metric);
    if (!ok || p.id <= 0 || p.name.empty() || std::fabs(p.latitude) > 90 || std::fabs(p.longitude) > 180 ||
        k.storedUnix <= 0 || k.imperial.empty() || k.metric.empty())
        return std::nullopt;
    return k;
}

std::string WriteGateSnapshot(const GateSnapshot& s) {
    const CallBudget::Windows& w = s.windows;
    return WriteStateFile("budget", {
                                        {"minute", std::to_string(w.minute)},
                                        {"minute_used", std::to_string(w.minuteUsed)},
                                        {"hour", std::to_string(w.hour)},
                                        {"hour_used", std::to_string(w.hourUsed)},
                                        {"day", std::to_string(w.day)},
                                        {"day_used", std::to_string(w.dayUsed)},
                                        {"paused_until", std::to_string(s.pausedUntil)},
                                    });
}

std::optional<GateSnapshot> ReadGateSnapshot(const std::string& bytes) {
    const auto f = ReadStateFile(bytes, "budget");
    if (!f) return std::nullopt;
    GateSnapshot s;
    CallBudget::Windows& w = s.windows;
    const std::pair<const char*, int64_t*> wanted[] = {
        {"minute", &w.minute}, {"minute_used", &w.minuteUsed}, {"hour", &w.hour}, {"hour_used", &w.hourUsed},
        {"day", &w.day},       {"day_used", &w.dayUsed},       {"paused_until", &s.pausedUntil}};
    for (const auto& [name, field] : wanted) {
        const auto it = f->find(name);
        if (it == f->end() || !ReadInteger(it->second, *field) || *field < -1) return std::nullopt;
    }
    return s;
}
