#include "documents/icu_transliterator.h"

#include <algorithm>
#include <vector>

#include "model/utf8.h"

namespace {

const char16_t kId[] = u"Any-Latin; Latin-ASCII";
constexpr int kForward = 0;            // UTRANS_FORWARD
constexpr int kBufferOverflow = 15;    // U_BUFFER_OVERFLOW_ERROR
bool Failed(int status) { return status > 0; }  // U_FAILURE

std::u16string ToUtf16(const std::string& s) {
    std::u16string out;
    uint32_t cp;
    for (std::size_t i = 0; NextUtf8(s, i, cp);) {
        if (cp >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
    return out;
}

// Only ASCII is kept: the result is meant to be ASCII, and anything ICU
// left in another script is dropped by the caller anyway.
std::string AsciiOf(const char16_t* s, int32_t n) {
    std::string out;
    for (int32_t i = 0; i < n; ++i) {
        if (s[i] < 0x80) out += static_cast<char>(s[i]);
    }
    return out;
}

}  // namespace

IcuTransliterator::IcuTransliterator(const IcuTransliterationApi& api) : api_(api) {
    if (!api_.open || !api_.transliterate || !api_.close) return;
    int status = 0;
    void* t = api_.open(kId, static_cast<int32_t>(sizeof kId / sizeof kId[0] - 1), kForward, nullptr, 0, nullptr,
                        &status);
    if (Failed(status)) {
        if (t) api_.close(t);
        return;
    }
    trans_ = t;
}

IcuTransliterator::~IcuTransliterator() {
    if (trans_) api_.close(trans_);
}

std::string IcuTransliterator::ToLatinAscii(const std::string& utf8) {
    if (!trans_) return "";
    const std::u16string in = ToUtf16(utf8);
    // Transliteration grows text (one ideograph becomes up to six letters
    // and a space): start with room for that, and grow once if ICU asks.
    std::vector<char16_t> buf(in.size() * 8 + 16);
    for (int attempt = 0; attempt < 2; ++attempt) {
        std::copy(in.begin(), in.end(), buf.begin());
        int32_t length = static_cast<int32_t>(in.size());
        int32_t limit = length;
        int status = 0;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            api_.transliterate(trans_, buf.data(), &length, static_cast<int32_t>(buf.size()), 0, &limit, &status);
        }
        if (status == kBufferOverflow) {
            buf.resize(std::max(buf.size() * 2, static_cast<std::size_t>(length > 0 ? length : 0) + 16));
            continue;
        }
        if (Failed(status) || length < 0 || static_cast<std::size_t>(length) > buf.size()) return "";
        return AsciiOf(buf.data(), length);
    }
    return "";
}
