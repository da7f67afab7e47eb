#include "app/short_reply.h"

#include <cstdlib>

#include "app/net_interfaces.h"

const char* const kPortTakenText = "Port 80 is used by another program";
const char* const kForeignListenerText = "Another program answered for Cloudwick";
const char* const kSilentServiceText = "Weather service did not answer";

std::string ConnectFailureText(const Socket& socket, const std::string& notFound, ServiceLink* link) {
    if (socket.HostNotFound() && !notFound.empty()) return notFound;
    return link ? link->WhyNoService() : std::string();
}

namespace {

const char kHeadEnd[] = "\r\n\r\n";

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool StartsWithNoCase(const std::string& s, size_t at, const std::string& prefix) {
    if (at > s.size() || s.size() - at < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (Lower(s[at + i]) != Lower(prefix[i])) return false;
    return true;
}

std::string Trimmed(const std::string& s) {
    size_t b = s.find_first_not_of(" \t");
    if (b == std::string::npos) return "";
    size_t e = s.find_last_not_of(" \t");
    return s.substr(b, e - b + 1);
}

// The value of the first header `name` in the head, or false when absent.
bool HeaderValue(const std::string& reply, const std::string& name, std::string& value) {
    const size_t end = reply.find(kHeadEnd);
    const size_t headEnd = end == std::string::npos ? reply.size() : end;
    size_t line = reply.find("\r\n");
    while (line != std::string::npos && line < headEnd) {
        const size_t start = line + 2;
        size_t next = reply.find("\r\n", start);
        if (next == std::string::npos || next > headEnd) next = headEnd;
        if (StartsWithNoCase(reply, start, name + ":")) {
            value = Trimmed(reply.substr(start + name.size() + 1, next - start - name.size() - 1));
            return true;
        }
        if (next >= headEnd) break;
        line = next;
    }
    return false;
}

}  // namespace

bool ReplyIsWhole(const std::string& reply) {
    const size_t end = reply.find(kHeadEnd);
    if (end == std::string::npos) return false;
    std::string length;
    if (!HeaderValue(reply, "Content-Length", length) || length.empty()) return false;
    for (char c : length)
        if (c < '0' || c > '9') return false;
    if (length.size() > 9) return false;  // far beyond anything the card reads
    const size_t want = static_cast<size_t>(std::strtoul(length.c_str(), nullptr, 10));
    return reply.size() - (end + 4) >= want;
}

ShortReply ReadShortReply(const std::string& reply) {
    ShortReply r;
    // "HTTP/1.x NNN"
    if (reply.size() < 12 || reply.compare(0, 7, "HTTP/1.") != 0 || reply[8] != ' ') return r;
    for (int i = 9; i < 12; ++i)
        if (reply[i] < '0' || reply[i] > '9') return r;
    if (reply.size() > 12 && reply[12] != ' ' && reply[12] != '\r') return r;
    r.status = std::atoi(reply.substr(9, 3).c_str());
    std::string type;
    const size_t end = reply.find(kHeadEnd);
    if (end == std::string::npos || !HeaderValue(reply, "Content-Type", type)) return r;
    if (!StartsWithNoCase(type, 0, "text/plain")) return r;
    std::string body = reply.substr(end + 4);
    const size_t eol = body.find_first_of("\r\n");
    r.reason = CleanReason(eol == std::string::npos ? body : body.substr(0, eol));
    return r;
}

bool HasStaleMarker(const std::string& reply) {
    const size_t end = reply.find(kHeadEnd);
    const size_t headEnd = end == std::string::npos ? reply.size() : end;
    // Every Warning header counts, not just the first.
    size_t line = reply.find("\r\n");
    while (line != std::string::npos && line < headEnd) {
        const size_t start = line + 2;
        if (StartsWithNoCase(reply, start, "Warning:")) {
            size_t v = start + 8;
            while (v < reply.size() && (reply[v] == ' ' || reply[v] == '\t')) ++v;
            if (v + 3 <= reply.size() && reply.compare(v, 3, "110") == 0 &&
                (v + 3 == reply.size() || reply[v + 3] == ' ' || reply[v + 3] == '\r'))
                return true;
        }
        line = reply.find("\r\n", start);
    }
    return false;
}

std::string CleanReason(const std::string& line) {
    std::string out;
    for (char c : line) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (u >= 0x20 && u < 0x7F) out += c;
    }
    out = Trimmed(out);
    if (out.size() > kMaxReasonChars) out = Trimmed(out.substr(0, kMaxReasonChars));
    return out;
}

std::string ReplyProblem(const std::string& reply, bool portTakenByOther, const std::string& service) {
    if (portTakenByOther) return kPortTakenText;
    const ShortReply r = ReadShortReply(reply);
    if (!r.reason.empty()) return r.reason;
    if (r.status == 0 || r.status == 200) return "";
    return service + " error " + std::to_string(r.status);
}
