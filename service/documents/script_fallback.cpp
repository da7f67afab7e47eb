#include "documents/script_fallback.h"

#include <cstdint>

#include "model/utf8.h"

namespace {

struct ScriptBlock {
    uint32_t first, last;
    const uint16_t* offsets;  // into kPool, one per code point
};

#include "script_table.inc"

constexpr uint32_t kHangulFirst = 0xAC00, kHangulCount = 11172;
constexpr uint32_t kIdeographFirst = 0x4E00, kIdeographLast = 0x9FFF;

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
    for (std::size_t i = 0; NextUtf8(utf8, i, cp);) {
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
