#include "upstream/client_group.h"

#include <cctype>
#include <vector>

namespace {

std::vector<std::string> Split(const std::string& s, char sep) {
    std::vector<std::string> out;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= s.size(); ++i) {
        if (i == s.size() || s[i] == sep) {
            out.push_back(s.substr(start, i - start));
            start = i + 1;
        }
    }
    return out;
}

}  // namespace

std::string ClientGroup(const std::string& address) {
    if (address.find(':') == std::string::npos) return address;
    std::string a = address;
    if (!a.empty() && a.front() == '[') a = a.substr(1, a.find(']') - 1);
    const std::size_t zone = a.find('%');
    if (zone != std::string::npos) a.resize(zone);
    const std::size_t dot = a.rfind(':');
    if (a.rfind("::ffff:", 0) == 0 && a.find('.', dot) != std::string::npos) return a.substr(dot + 1);  // IPv4-mapped
    // The eight groups, "::" filled in; the first four name the /64.
    const std::size_t gap = a.find("::");
    std::vector<std::string> head = Split(gap == std::string::npos ? a : a.substr(0, gap), ':');
    std::vector<std::string> tail = gap == std::string::npos ? std::vector<std::string>{} : Split(a.substr(gap + 2), ':');
    if (head.size() == 1 && head[0].empty()) head.clear();
    if (tail.size() == 1 && tail[0].empty()) tail.clear();
    std::vector<std::string> groups = head;
    while (gap != std::string::npos && groups.size() + tail.size() < 8) groups.push_back("0");
    groups.insert(groups.end(), tail.begin(), tail.end());
    std::string net;
    for (std::size_t i = 0; i < 4; ++i) {
        std::string g = i < groups.size() ? groups[i] : "0";
        for (char& c : g) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
        const std::size_t nz = g.find_first_not_of('0');
        net += (nz == std::string::npos ? "0" : g.substr(nz)) + ":";
    }
    return net + ":/64";
}
