#include "documents/card_text.h"

#include <cctype>
#include <cstdint>
#include <vector>

#include "documents/card_code_page.h"
#include "model/utf8.h"

namespace {

// Windows-1252 bytes 0x80..0x9F as code points (0 = unassigned).
const uint32_t kCp1252[32] = {
    0x20AC, 0, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0, 0x017D, 0,
    0, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0, 0x017E, 0x0178,
};

void TitleCaseWords(std::string& s) {
    bool start = true;
    for (char& c : s) {
        if (start && c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        start = c == ' ' || c == '-';
    }
}

bool AllowedInCard(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == ' ' ||
           c == '.' || c == ',' || c == '\'' || c == '(' || c == ')' || c == '-';
}

// Collapses runs of spaces and trims both ends.
std::string Squeeze(const std::string& s) {
    std::string out;
    for (char c : s) {
        if (c == ' ' && (out.empty() || out.back() == ' ')) continue;
        out += c;
    }
    while (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
}

}  // namespace

bool IsValidUtf8(const std::string& s) {
    uint32_t cp;
    for (std::size_t i = 0; i < s.size();) {
        const std::size_t n = DecodeUtf8(s, i, cp);
        if (n == 0) return false;
        i += n;
    }
    return true;
}

std::string CardText(const std::string& utf8, std::size_t maxLength) {
    // The name as the card may show it, still in UTF-8: the punctuation it
    // must not see and control characters made spaces.
    std::string shown;
    bool ascii = true;
    uint32_t cp;
    for (std::size_t i = 0; NextUtf8(utf8, i, cp);) {
        if (cp < 0x80) {
            shown += AllowedInCard(static_cast<char>(cp)) ? static_cast<char>(cp) : ' ';
        } else if (cp < 0xA0 || cp == 0xAD || (cp >= 0x2000 && cp <= 0x200F) || (cp >= 0x2028 && cp <= 0x202F)) {
            shown += ' ';  // C1 controls, soft hyphens, odd spaces and direction marks
        } else {
            AppendUtf8(shown, cp);
            ascii = false;
        }
    }
    std::vector<std::string> chars;
    if (ascii || !CardCharacters(Squeeze(shown), chars)) return AsciiCardText(utf8, maxLength);
    std::string out;
    for (const std::string& c : chars) {
        if (c == " " && (out.empty() || out.back() == ' ')) continue;
        if (out.size() + c.size() > maxLength) break;
        out += c;
    }
    while (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
}

std::string AsciiCardText(const std::string& utf8, std::size_t maxLength) {
    std::string clean;  // stray bytes dropped, so the transliteration sees valid UTF-8 only
    bool asciiLetters = false;
    uint32_t cp;
    for (std::size_t i = 0; i < utf8.size();) {
        const std::size_t n = DecodeUtf8(utf8, i, cp);
        if (n == 0) { ++i; continue; }
        clean.append(utf8, i, n);
        asciiLetters = asciiLetters || (cp < 0x80 && isalpha(static_cast<int>(cp)));
        i += n;
    }
    std::string latin = clean;
    for (unsigned char c : clean) {
        if (c >= 0x80) {
            latin = SystemLatinAscii(clean);
            // Scripts without capitals come out in lower case ("bei jing"):
            // a name written only in them gets capitals at word starts.
            if (!asciiLetters) TitleCaseWords(latin);
            break;
        }
    }
    std::string ascii;
    for (char c : latin) ascii += AllowedInCard(c) ? c : ' ';
    std::string out = Squeeze(ascii);
    if (out.size() > maxLength) out = Squeeze(out.substr(0, maxLength));
    return out;
}

std::string Utf8OrWindows1252(const std::string& bytes) {
    if (IsValidUtf8(bytes)) return bytes;
    std::string out;
    for (unsigned char c : bytes) {
        const uint32_t cp = (c >= 0x80 && c < 0xA0) ? kCp1252[c - 0x80] : c;
        if (cp != 0 || c == 0) AppendUtf8(out, cp);
    }
    return out;
}

std::string SearchText(const std::string& bytes, std::size_t maxBytes) {
    std::vector<uint32_t> cps;
    const std::string utf8 = CardBytesToUtf8(bytes);
    uint32_t cp;
    for (std::size_t i = 0; NextUtf8(utf8, i, cp);) {
        if (cp < 0x20 || cp == 0x7F || (cp >= 0x80 && cp < 0xA0)) cp = ' ';
        cps.push_back(cp);
    }
    std::string out;
    for (uint32_t c : cps) {
        if (c == ' ' && (out.empty() || out.back() == ' ')) continue;
        std::string one;
        AppendUtf8(one, c);
        if (out.size() + one.size() > maxBytes) break;
        out += one;
    }
    while (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
}
