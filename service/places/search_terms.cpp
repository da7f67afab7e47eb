#include "places/search_terms.h"

#include <cctype>

#include "documents/card_text.h"
#include "model/ascii.h"
#include "model/region_codes.h"

namespace {

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
std::string Folded(const std::string& s) { return AsciiLower(AsciiCardText(s, 100)); }

}  // namespace

std::string QualifierCountry(const std::string& qualifier) {
    const std::string q = AsciiLower(qualifier);
    if (q == "uk") return "GB";
    if (q == "usa") return "US";
    if (q.size() != 2 || !AllLetters(q)) return "";
    return {static_cast<char>(toupper(q[0])), static_cast<char>(toupper(q[1]))};
}

SearchTerms ReadSearchTerms(const std::string& cleanText) {
    SearchTerms t;
    const std::string text = AsciiTrim(cleanText);
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
        t.name = AsciiTrim(text.substr(0, comma));
        t.qualifier = AsciiTrim(text.substr(comma + 1));
    } else {
        // Without a comma only a code counts as a qualifier: "Paris TX", "London UK".
        const std::size_t space = text.rfind(' ');
        if (space != std::string::npos) {
            const std::string last = text.substr(space + 1);
            const std::string lower = AsciiLower(last);
            if ((last.size() == 2 && AllLetters(last)) || lower == "uk" || lower == "usa") {
                t.name = AsciiTrim(text.substr(0, space));
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
