#include "core/query.h"

#include <cctype>

#include "core/plain_text.h"
#include "core/region_codes.h"

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

std::string LenientPercentDecode(const std::string& in) {
    std::string out;
    out.reserve(in.size());
    for (std::size_t i = 0; i < in.size(); ++i) {
        const int hi = in[i] == '%' && i + 1 < in.size() ? HexValue(in[i + 1]) : -1;
        const int lo = hi >= 0 && i + 2 < in.size() ? HexValue(in[i + 2]) : -1;
        if (in[i] == '+') {
            out += ' ';
        } else if (lo >= 0) {
            out += static_cast<char>(hi * 16 + lo);
            i += 2;
        } else {
            out += in[i];
        }
    }
    return out;
}

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
    const std::string statement = LenientPercentDecode(raw.substr(q));
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
    // A text without its closing quote runs to the end (a server in front
    // may have cut the target at a typed '#').
    const std::size_t close = statement.rfind(quote);
    p.text = close == i ? statement.substr(i + 1) : statement.substr(i + 1, close - i - 1);
    return p;
}

namespace {

std::string Trim(const std::string& s) {
    std::size_t a = 0, b = s.size();
    while (a < b && isspace(static_cast<unsigned char>(s[a]))) ++a;
    while (b > a && isspace(static_cast<unsigned char>(s[b - 1]))) --b;
    return s.substr(a, b - a);
}

bool AllLetters(const std::string& s) {
    for (char c : s) {
        if (!isalpha(static_cast<unsigned char>(c))) return false;
    }
    return !s.empty();
}

// The text with letters as 'A', digits as '9', spaces dropped.
std::string Shape(const std::string& s) {
    std::string out;
    for (char c : s) {
        if (isalpha(static_cast<unsigned char>(c))) out += 'A';
        else if (isdigit(static_cast<unsigned char>(c))) out += '9';
        else if (c != ' ') out += c;
    }
    return out;
}

// British postcodes: A9 9AA, A99 9AA, AA9 9AA, AA99 9AA, A9A 9AA, AA9A 9AA.
bool BritishShape(const std::string& shape) {
    for (const char* s : {"A99AA", "A999AA", "AA99AA", "AA999AA", "A9A9AA", "AA9A9AA"}) {
        if (shape == s) return true;
    }
    return false;
}

// Folded for comparing names: ASCII, lower case.
std::string Folded(const std::string& s) { return Lower(AsciiCardText(s, 100)); }

}  // namespace

std::string QualifierCountry(const std::string& qualifier) {
    const std::string q = Lower(qualifier);
    if (q == "uk") return "GB";
    if (q == "usa") return "US";
    if (q.size() != 2 || !AllLetters(q)) return "";
    return {static_cast<char>(toupper(q[0])), static_cast<char>(toupper(q[1]))};
}

SearchTerms ReadSearchTerms(const std::string& cleanText) {
    SearchTerms t;
    const std::string text = Trim(cleanText);
    t.name = text;
    const std::string shape = Shape(text);
    if (BritishShape(shape)) {
        t.postcode = true;
        t.postcodeCountry = "GB";
    } else if (shape == "A9A9A9") {
        t.postcode = true;
        t.postcodeCountry = "CA";
    } else if (shape == "9999AA" && text.size() <= 7) {
        t.postcode = true;
        t.postcodeCountry = "NL";
    } else if (shape.size() >= 3 && shape.size() <= 10 && shape.find_first_not_of("9-") == std::string::npos &&
               shape.front() == '9' && shape.back() == '9') {
        t.postcode = true;  // 60610, 10115, 75001, 60610-1234, 100-0001
    }
    if (t.postcode) return t;

    const std::size_t comma = text.rfind(',');
    if (comma != std::string::npos) {
        t.name = Trim(text.substr(0, comma));
        t.qualifier = Trim(text.substr(comma + 1));
    } else {
        // Without a comma only a code counts as a qualifier: "Paris TX", "London UK".
        const std::size_t space = text.rfind(' ');
        if (space != std::string::npos) {
            const std::string last = text.substr(space + 1);
            const std::string lower = Lower(last);
            if ((last.size() == 2 && AllLetters(last)) || lower == "uk" || lower == "usa") {
                t.name = Trim(text.substr(0, space));
                t.qualifier = last;
            }
        }
    }
    if (t.name.empty() || t.qualifier.empty()) {
        t.name = text;
        t.qualifier.clear();
    }
    return t;
}

bool InQualifier(const Place& place, const std::string& qualifier) {
    const std::string q = Folded(qualifier);
    if (q.empty()) return true;
    const std::string code = QualifierCountry(qualifier);
    if (!code.empty()) {
        if (place.countryCode == code) return true;
        if (place.countryCode == "US" && code.size() == 2 && UsStateCode(place.admin1) == code) return true;
    }
    return q == Folded(place.admin1) || q == Folded(place.country) ||
           (place.countryCode == "US" && (q == "united states" || q == "united states of america"));
}
