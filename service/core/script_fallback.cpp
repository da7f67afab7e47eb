#include "core/script_fallback.h"

#include <cstdint>

namespace {

struct ScriptBlock {
    uint32_t first, last;
    const uint16_t* offsets;  // into kPool, one per code point
};

#include "script_table.inc"

constexpr uint32_t kHangulFirst = 0xAC00, kHangulCount = 11172;
constexpr uint32_t kIdeographFirst = 0x4E00, kIdeographLast = 0x9FFF;

// Decodes the UTF-8 sequence at s[i] (the text is valid); returns its length.
std::size_t Decode(const std::string& s, std::size_t i, uint32_t& cp) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    std::size_t len = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    if (i + len > s.size()) len = s.size() - i;
    cp = len == 1 ? c : len == 2 ? c & 0x1F : len == 3 ? c & 0x0F : c & 0x07;
    for (std::size_t k = 1; k < len; ++k) cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
    return len;
}

const char* Spelling(uint32_t cp) {
    for (const ScriptBlock& b : kBlocks) {
        if (cp >= b.first && cp <= b.last) return kPool + b.offsets[cp - b.first];
    }
    return "";
}

}  // namespace

std::string FallbackLatinAscii(const std::string& utf8) {
    std::string out;
    bool afterIdeograph = false;
    uint32_t cp;
    for (std::size_t i = 0; i < utf8.size();) {
        i += Decode(utf8, i, cp);
        const bool ideograph = cp >= kIdeographFirst && cp <= kIdeographLast;
        if (ideograph && afterIdeograph) out += ' ';
        afterIdeograph = ideograph;
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp >= kHangulFirst && cp < kHangulFirst + kHangulCount) {
            const uint32_t n = cp - kHangulFirst;
            out += kHangulLead[n / 588];
            out += kHangulVowel[n % 588 / 28];
            out += kHangulTail[n % 28];
        } else {
            out += Spelling(cp);
        }
    }
    return out;
}
