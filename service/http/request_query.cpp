#include "http/request_query.h"

#include <cctype>

#include "model/ascii.h"
#include "model/url_encoding.h"

namespace {

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
            bool nameRead = false, valueRead = false;
            name = PercentDecoded(part.substr(0, eq), Plus::IsSpace, &nameRead);
            value = PercentDecoded(eq == std::string::npos ? "" : part.substr(eq + 1), Plus::IsSpace, &valueRead);
            if (!nameRead || !valueRead) {
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
            // GeoNames ids, and OpenStreetMap places at 14 digits (nominatim_json.h).
            bool digits = !value.empty() && value.size() <= 14;
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
    // The card sends what was typed as it is: a '%' that starts no escape
    // and a '#' are part of the text.
    const std::string statement = PercentDecoded(raw.substr(q), Plus::IsSpace);
    const std::string lower = AsciiLower(statement);
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
    // A text without its closing quote runs to the end (a server in front
    // may have cut the target at a typed '#').
    const std::size_t close = statement.rfind(quote);
    p.text = close == i ? statement.substr(i + 1) : statement.substr(i + 1, close - i - 1);
    return p;
}
