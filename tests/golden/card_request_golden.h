#pragma once
// The card's request bytes for a target and host, from the golden file
// (tests/golden/card_request.http; CLOUDWICK_GOLDEN_DIR names its folder).
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>

inline std::string GoldenCardRequest(const std::string& target, const std::string& host) {
    std::ifstream in(std::string(CLOUDWICK_GOLDEN_DIR) + "/card_request.http", std::ios::binary);
    if (!in) throw std::runtime_error("no golden request in " CLOUDWICK_GOLDEN_DIR);
    std::ostringstream text;
    text << in.rdbuf();
    std::string out = text.str();
    for (const auto& [mark, value] : {std::make_pair(std::string("<target>"), target),
                                      std::make_pair(std::string("<host>"), host)}) {
        const std::size_t at = out.find(mark);
        if (at != std::string::npos) out.replace(at, mark.size(), value);
    }
    return out;
}
