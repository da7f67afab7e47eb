// Writes the card's and the options dialog's design tables as JSON, from the
// same tables the exe builds its windows from, so the end-to-end tests read
// ids, rectangles and texts instead of typing them again.
// Usage: design_tables_json [OUT.json]   (standard output without OUT)
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>

#include <nlohmann/json.hpp>

#include "card/card_layout.h"
#include "options/options_layout.h"

namespace {

using nlohmann::json;

const char* KindName(ControlKind k) {
    switch (k) {
    case ControlKind::Label: return "Label";
    case ControlKind::Picture: return "Picture";
    case ControlKind::Frame: return "Frame";
    case ControlKind::Line: return "Line";
    case ControlKind::CheckBox: return "CheckBox";
    case ControlKind::OptionButton: return "OptionButton";
    case ControlKind::DropList: return "DropList";
    case ControlKind::TextBox: return "TextBox";
    case ControlKind::Button: return "Button";
    }
    return "?";
}

json FlagNames(unsigned flags) {
    static const struct { unsigned bit; const char* name; } kNames[] = {
        {kCentred, "centred"}, {kDesignFont, "designFont"}, {kSystemColour, "systemColour"},
        {kFramed, "framed"},   {kNotify, "notify"},         {kSeeThrough, "seeThrough"},
    };
    json out = json::array();
    for (const auto& n : kNames)
        if (flags & n.bit) out.push_back(n.name);
    return out;
}

// The tables' texts are ANSI bytes; each byte becomes the code point of the
// same number (Latin-1), which the tests turn back into the same bytes.
std::string Latin1ToUtf8(const char* s) {
    std::string out;
    for (; s && *s; ++s) {
        const unsigned char c = static_cast<unsigned char>(*s);
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

json Colour(Rgb c) { return json::array({c.r, c.g, c.b}); }

json Controls(const ControlSpec* rows, size_t count) {
    json out = json::array();
    for (size_t i = 0; i < count; ++i) {
        const ControlSpec& r = rows[i];
        json parent = nullptr;
        for (size_t j = 0; j < count; ++j)
            if (r.parentId != 0 && rows[j].id == r.parentId) parent = rows[j].name;
        out.push_back({{"id", r.id}, {"name", r.name}, {"kind", KindName(r.kind)}, {"parent", parent},
                       {"left", r.left}, {"top", r.top}, {"width", r.width}, {"height", r.height},
                       {"fg", Colour(r.fg)}, {"bg", Colour(r.bg)}, {"text", Latin1ToUtf8(r.text)},
                       {"tabIndex", r.tabIndex}, {"flags", FlagNames(r.flags)}});
    }
    return out;
}

json Tables() {
    json card = {
        {"window", {{"widthTwips", kCardWidthTwips}, {"heightTwips", kCardHeightTwips},
                    {"designLeft", kCardDesignLeft}, {"designTop", kCardDesignTop}}},
        {"forecastLines", {{"day1Top", kDay1TopTwips}, {"day2ResetTop", kDay2ResetTopTwips},
                           {"day1TallHeight", kDay1TallHeightTwips}, {"day2TallShift", kDay2TallShiftTwips}}},
        {"menu", {{"open", IDM_OPEN}, {"refresh", IDM_REFRESH}, {"options", IDM_OPTIONS}, {"exit", IDM_EXIT}}},
        {"controls", Controls(kCardControls, kCardControlCount)},
    };
    json options = {
        {"window", {{"widthTwips", kOptionsWidthTwips}, {"heightTwips", kOptionsHeightTwips},
                    {"designLeft", kOptionsDesignLeft}, {"designTop", kOptionsDesignTop}}},
        {"controls", Controls(kOptionsControls, kOptionsControlCount)},
    };
    return {{"card", card}, {"options", options}};
}

}  // namespace

int main(int argc, char** argv) {
    const std::string text = Tables().dump(1) + "\n";
    if (argc < 2) {
        std::cout << text;
        return 0;
    }
    const std::string tmp = std::string(argv[1]) + ".tmp";
    {
        std::ofstream f(tmp, std::ios::binary);
        f << text;
        if (!f) {
            std::cerr << "design_tables_json: cannot write " << tmp << "\n";
            return 1;
        }
    }
    return std::rename(tmp.c_str(), argv[1]) == 0 ? 0 : 1;
}
