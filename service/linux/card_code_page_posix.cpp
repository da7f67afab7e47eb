// The card's code page as the Linux program sees it (card_code_page.h): it
// cannot know the card's machine, so it reads UTF-8 or Windows-1252 and
// writes names in ASCII.
#include "documents/card_code_page.h"

std::string CardBytesToUtf8(const std::string& bytes) { return Utf8OrWindows1252(bytes); }

bool CardCharacters(const std::string& utf8, std::vector<std::string>& chars) {
    chars.clear();
    for (char c : utf8) {
        if (static_cast<unsigned char>(c) >= 0x80) return false;
        chars.emplace_back(1, c);
    }
    return true;
}
