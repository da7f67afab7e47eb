#include "feed/forecast_parser.h"

#include <cstdlib>

#include "app/text_scan.h"

const char* TemperatureSuffix(int16_t useCelsius) {
    return useCelsius == 1 ? "   \xB0 C" : "   \xB0 F";
}

const char* SpeedSuffix(int16_t useCelsius) {
    return useCelsius == 1 ? "  kmph" : "  mph";
}

namespace {

const long kLongDay1 = 39;
const int kMaxKnownCode = 47;

// One scan step: a name searched from a position, the value cut from a
// fixed skip after it up to an end marker searched from where the name was
// found (or from a fixed position).
struct Step {
    const char* name;
    const char* endMarker;
    long skip;
    bool endFromStart;  // search the end marker from position 1
};

class Scanner {
public:
    explicit Scanner(const std::string& text) : text_(text) {}

    // Cuts the next value; false when the name or the end marker is
    // missing, or the end marker comes before the value.
    bool Next(const Step& step, std::string& value) {
        long found = Find(text_, pos_, step.name);
        if (found == 0) return false;
        long end = Find(text_, step.endFromStart ? 1 : found, step.endMarker);
        long start = found + step.skip;
        if (end == 0 || end < start) return false;
        value = Cut(text_, start, end);
        pos_ = start;
        return true;
    }

private:
    const std::string& text_;
    long pos_ = 1;
};

// A whole number from 0 upwards, spaces around ignored; a sign is part of a
// whole number ("+5", "-0"), but a code below 0 has no picture. Values above
// the known codes clamp to one past the last.
bool ReadCode(const std::string& cut, int& code) {
    std::string t = Trim(cut);
    const bool negative = !t.empty() && t[0] == '-';
    if (!t.empty() && (t[0] == '+' || t[0] == '-')) t.erase(0, 1);
    if (t.empty() || t.size() > 64) return false;
    if (negative && t.find_first_not_of('0') != std::string::npos) return false;
    for (char c : t)
        if (c < '0' || c > '9') return false;
    size_t first = t.find_first_not_of('0');
    if (first == std::string::npos) { code = 0; return true; }
    if (t.size() - first > 3) { code = kMaxKnownCode + 1; return true; }
    code = std::atoi(t.c_str() + first);
    if (code > kMaxKnownCode) code = kMaxKnownCode + 1;
    return true;
}

struct ForecastLine {
    std::string day, text, high, low;
};

bool ReadForecastLine(const std::string& f, ForecastLine& line) {
    // Each skip is the attribute's name with its "="; the values keep their
    // quotes until unquoted and the blank before the next attribute for good.
    static const Step kSteps[] = {
        {"day=", "date=", 4, false},
        {"date=", "low=", 5, false},
        {"low=", "high=", 4, false},
        {"high=", "text=", 5, false},
        {"text=", "code=", 5, false},
    };
    Scanner scan(f);
    std::string v[5];
    for (int i = 0; i < 5; ++i) {
        if (!scan.Next(kSteps[i], v[i])) return false;
        v[i] = Unquote(v[i]);
    }
    line.day = v[0];
    line.low = v[2];
    line.high = v[3];
    line.text = v[4];
    return true;
}

std::string Compose(const ForecastLine& l) {
    return l.day + ", " + l.text + ". High: " + l.high + " Low: " + l.low;
}

ForecastResult Fail(ForecastResult r, const char* what) {
    r.ok = false;
    r.error = std::string("Bad feed reply: ") + what;
    r.picture = kMaxKnownCode + 2;
    r.day1Tall = false;
    r.captions.emplace_back(CardField::Day1, r.error);
    return r;
}

}  // namespace

ForecastResult ParseForecast(const std::string& reply, int16_t useCelsius) {
    ForecastResult r;
    const std::string temp = TemperatureSuffix(useCelsius);
    Scanner scan(reply);
    std::string v;

    // Skips are measured from the found name. 24: "<title>" and the 17
    // characters of "Yahoo! Weather - " before the place; the title keeps its
    // spaces.
    if (!scan.Next({"<title>", "</title>", 24, true}, v)) return Fail(r, "no title");
    r.captions.emplace_back(CardField::Title, v);

    // 15: the length of "<lastBuildDate>".
    if (!scan.Next({"<lastBuildDate>", "</lastBuildDate>", 15, false}, v)) return Fail(r, "no build date");
    r.captions.emplace_back(CardField::DateTime, "at " + Trim(v));

    // 20: "yweather:wind chill" and its "="; the direction is only an end marker.
    if (!scan.Next({"yweather:wind chill", "direction=", 20, false}, v)) return Fail(r, "no wind chill");
    r.captions.emplace_back(CardField::WTemp, Unquote(Trim(v)) + temp);

    if (!scan.Next({"speed=", "/>", 6, false}, v)) return Fail(r, "no wind speed");
    r.captions.emplace_back(CardField::WSpeed, Unquote(Trim(v)) + SpeedSuffix(useCelsius));

    // 25: "yweather:condition" and the 7 characters of "  text=" after it.
    if (!scan.Next({"yweather:condition", "code=", 25, false}, v)) return Fail(r, "no condition");
    r.captions.emplace_back(CardField::Cond, Unquote(Trim(v)));

    // 6 for "code=" and "temp=": the name and its opening quote.
    if (!scan.Next({"code=", "temp=", 6, false}, v)) return Fail(r, "no condition code");
    int code = 0;
    if (!ReadCode(Unquote(v), code)) return Fail(r, "bad condition code");
    r.conditionCode = code > kMaxKnownCode ? "48" : Unquote(v);

    if (!scan.Next({"temp=", "date=", 6, false}, v)) return Fail(r, "no temperature");
    r.captions.emplace_back(CardField::Temp, Unquote(Trim(v)) + temp);

    // 18 of the 22 characters of "yweather:forecast day=": each forecast text
    // begins with "day=", where the line's own walk starts.
    ForecastLine first, second;
    if (!scan.Next({"yweather:forecast day=", "/>", 18, false}, v) || !ReadForecastLine(Unquote(Trim(v)), first))
        return Fail(r, "no forecast");
    // The first line is trimmed because its length decides whether its box
    // grows to two lines; the second line has no such rule and is shown as cut,
    // with the blank after the low temperature.
    std::string line1 = Trim(Compose(first));
    r.day1Tall = static_cast<long>(line1.size()) > kLongDay1;
    r.captions.emplace_back(CardField::Day1, line1);

    if (!scan.Next({"yweather:forecast day=", "/>", 18, false}, v) || !ReadForecastLine(Unquote(v), second))
        return Fail(r, "no second forecast");
    r.captions.emplace_back(CardField::Day2, Compose(second));

    r.picture = code + 1;
    r.ok = true;
    return r;
}
