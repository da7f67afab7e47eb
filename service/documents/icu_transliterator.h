#pragma once
// ICU's "Any-Latin; Latin-ASCII" through ICU's C API, given as function
// pointers, so that Linux can hand in the functions of the libicu it links
// and Windows those of the icu.dll it finds at run time. No ICU header is
// needed here: the C API's types are plain integers and UTF-16 buffers.
#include <cstdint>
#include <mutex>
#include <string>

struct IcuTransliterationApi {
    // utrans_openU, utrans_transUChars and utrans_close, with UChar as
    // char16_t, UTransDirection and UErrorCode as int and the parse error
    // (unused) as void*.
    void* (*open)(const char16_t* id, int32_t idLength, int direction, const char16_t* rules, int32_t rulesLength,
                  void* parseError, int* status);
    void (*transliterate)(const void* trans, char16_t* text, int32_t* textLength, int32_t textCapacity,
                          int32_t start, int32_t* limit, int* status);
    void (*close)(void* trans);
};

class IcuTransliterator {
public:
    // Opens "Any-Latin; Latin-ASCII"; Ready() tells whether ICU could.
    explicit IcuTransliterator(const IcuTransliterationApi& api);
    ~IcuTransliterator();
    IcuTransliterator(const IcuTransliterator&) = delete;
    IcuTransliterator& operator=(const IcuTransliterator&) = delete;

    bool Ready() const { return trans_ != nullptr; }
    // `utf8` (valid UTF-8) transliterated; "" when ICU fails. One call at a
    // time: ICU's transliterators are not for concurrent use.
    std::string ToLatinAscii(const std::string& utf8);

private:
    IcuTransliterationApi api_;
    void* trans_ = nullptr;
    std::mutex mutex_;
};
