#include "core/query.h"

#include <cctype>

namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string Lower(const std::string& s) {
    std::string out = s;
    for (char& c : out) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return out;
}

std::size_t SkipSpaces(const std::string& s, std::size_t i) {
    while (i < s.size() && isspace(static_cast<unsigned char>(s[i]))) ++i;
    return i;
}

bool IsWordChar(char c) { return isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.'; }

// Position of `word` as a whole word in `s` from `from`, or npos.
std::size_t FindWord(const std::string& s, const std::string& word, std::size_t from) {
    for (std::size_t p = s.find(word, from); p != std::string::npos; p = s.find(word, p + 1)) {
        const bool startOk = p == 0 || !IsWordChar(s[p - 1]);
        const bool endOk = p + word.size() >= s.size() || !IsWordChar(s[p + word.size()]);
        if (startOk && endOk) return p;
    }
    return std::string::npos;
}

}  // namespace

bool PercentDecode(const std::string& in, std::string& out) {
    out.clear();
    out.reserve(in.size());
    for (std::size_t i = 0; i < in.size(); ++i) {
        const char c = in[i];
        if (c == '+') {
            out += ' ';
        } else if (c == '%') {
            const int hi = i + 1 < in.size() ? HexValue(in[i + 1]) : -1;
            const int lo = i + 2 < in.size() ? HexValue(in[i + 2]) : -1;
            if (hi < 0 || lo < 0) return false;
            out += static_cast<char>(hi * 16 + lo);
            i += 2;
        } else {
            out += c;
        }
    }
    return true;
}

std::string UrlEncode(const std::string& s) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : s) {
        const bool unreserved = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                                c == '-' || c == '.' || c == '_' || c == '~';
        if (unreserved) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

QueryParams ParseQuery(const std::string& raw) {
    QueryParams q;
    if (raw.size() > kMaxQueryLength) {
        q.status = QueryStatus::TooLong;
        return q;
    }
    std::size_t start = 0;
    while (start <= raw.size()) {
        std::size_t end = raw.find('&', start);
        if (end == std::string::npos) end = raw.size();
        const std::string part = raw.substr(start, end - start);
        if (!part.empty()) {
            const std::size_t eq = part.find('=');
            std::string name, value;
            if (!PercentDecode(part.substr(0, eq), name) ||
                !PercentDecode(eq == std::string::npos ? "" : part.substr(eq + 1), value)) {
                q.status = QueryStatus::Malformed;
                q.params.clear();
                return q;
            }
            q.params.emplace_back(std::move(name), std::move(value));
        }
        start = end + 1;
    }
    return q;
}

ForecastQuery ReadForecastQuery(const std::string& raw) {
    ForecastQuery f;
    const QueryParams q = ParseQuery(raw);
    f.status = q.status;
    if (q.status != QueryStatus::Ok) return f;
    bool seenW = false, seenU = false;
    for (const auto& [name, value] : q.params) {
        if (name == "w" && !seenW) {
            seenW = true;
            bool digits = !value.empty() && value.size() <= 10;
            for (char c : value) digits = digits && c >= '0' && c <= '9';
            if (digits) {
                f.id = std::stoll(value);
                f.validId = f.id > 0;
            }
        } else if (name == "u" && !seenU) {
            seenU = true;
            if (value == "c") f.units = Units::Metric;
        }
    }
    return f;
}

PlaceQuery ReadPlaceQuery(const std::string& raw) {
    PlaceQuery p;
    if (raw.size() > kMaxQueryLength) {
        p.status = QueryStatus::TooLong;
        return p;
    }
    std::size_t q = raw.rfind("q=", 0) == 0 ? 0 : raw.find("&q=");
    if (q == std::string::npos) {
        p.status = QueryStatus::Malformed;
        return p;
    }
    q += raw[q] == '&' ? 3 : 2;
    std::string statement;
    if (!PercentDecode(raw.substr(q), statement)) {
        p.status = QueryStatus::Malformed;
        return p;
    }
    const std::string lower = Lower(statement);
    const std::size_t from = FindWord(lower, "from", 0);
    const std::size_t table = from == std::string::npos ? from : FindWord(lower, "geo.places", from);
    const std::size_t where = table == std::string::npos ? table : FindWord(lower, "where", table);
    const std::size_t text = where == std::string::npos ? where : FindWord(lower, "text", where);
    const bool startsWithSelect = FindWord(lower, "select", 0) == SkipSpaces(lower, 0);
    if (!startsWithSelect || text == std::string::npos) {
        p.status = QueryStatus::Malformed;
        return p;
    }
    std::size_t i = SkipSpaces(statement, text + 4);
    if (i >= statement.size() || statement[i] != '=') {
        p.status = QueryStatus::Malformed;
        return p;
    }
    i = SkipSpaces(statement, i + 1);
    if (i >= statement.size() || (statement[i] != '\'' && statement[i] != '"')) {
        p.status = QueryStatus::Malformed;
        return p;
    }
    const char quote = statement[i];
    const std::size_t close = statement.rfind(quote);
    if (close == i) {
        p.status = QueryStatus::Malformed;
        return p;
    }
    p.text = statement.substr(i + 1, close - i - 1);
    return p;
}
