#include "core/http_request.h"

#include <cstring>

namespace {

const char* const kMethods[] = {"GET", "HEAD", "POST", "PUT", "DELETE", "CONNECT", "OPTIONS", "TRACE", "PATCH"};

bool IsTokenChar(unsigned char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
           (c != 0 && std::strchr("!#$%&'*+-.^_`|~", c) != nullptr);
}

std::string Lower(std::string s) {
    for (char& c : s) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return s;
}

// True when the comma-separated list `value` holds `token` (any case).
bool HasToken(const std::string& value, const char* token) {
    const std::string v = Lower(value);
    std::size_t start = 0;
    while (start <= v.size()) {
        std::size_t end = v.find(',', start);
        if (end == std::string::npos) end = v.size();
        std::size_t a = start, b = end;
        while (a < b && (v[a] == ' ' || v[a] == '\t')) ++a;
        while (b > a && (v[b - 1] == ' ' || v[b - 1] == '\t')) --b;
        if (v.compare(a, b - a, token) == 0) return true;
        start = end + 1;
    }
    return false;
}

bool ParseRequestLine(const std::string& line, HttpRequest& r) {
    const std::size_t sp1 = line.find(' ');
    const std::size_t sp2 = sp1 == std::string::npos ? sp1 : line.find(' ', sp1 + 1);
    if (sp2 == std::string::npos || line.find(' ', sp2 + 1) != std::string::npos) return false;
    r.method = line.substr(0, sp1);
    r.target = line.substr(sp1 + 1, sp2 - sp1 - 1);
    r.version = line.substr(sp2 + 1);
    bool known = false;
    for (const char* m : kMethods) known = known || r.method == m;
    if (!known || r.target.empty()) return false;
    for (unsigned char c : r.target) {
        if (c <= 0x20 || c == 0x7F) return false;  // bytes above 0x7F pass: the card sends typed text as it is
    }
    return r.version == "HTTP/1.1" || r.version == "HTTP/1.0";
}

bool ParseHeaderLine(const std::string& line, HttpRequest& r) {
    const std::size_t colon = line.find(':');
    if (colon == std::string::npos || colon == 0) return false;
    for (std::size_t i = 0; i < colon; ++i) {
        if (!IsTokenChar(static_cast<unsigned char>(line[i]))) return false;
    }
    std::size_t a = colon + 1, b = line.size();
    while (a < b && (line[a] == ' ' || line[a] == '\t')) ++a;
    while (b > a && (line[b - 1] == ' ' || line[b - 1] == '\t')) --b;
    for (std::size_t i = a; i < b; ++i) {
        const unsigned char c = static_cast<unsigned char>(line[i]);
        if ((c < 0x20 && c != '\t') || c == 0x7F) return false;
    }
    r.headers.emplace_back(line.substr(0, colon), line.substr(a, b - a));
    return true;
}

// Content-Length as a number no larger than `max`; -1 when it is not one.
long long BodyLength(const HttpRequest& r, std::size_t max) {
    long long length = 0;
    bool seen = false;
    for (const auto& [name, value] : r.headers) {
        if (Lower(name) != "content-length") continue;
        if (value.empty() || value.size() > 9) return -1;
        long long v = 0;
        for (char c : value) {
            if (c < '0' || c > '9') return -1;
            v = v * 10 + (c - '0');
        }
        if (seen && v != length) return -1;
        seen = true;
        length = v;
    }
    return length <= static_cast<long long>(max) ? length : -1;
}

}  // namespace

std::string HttpRequest::Header(const std::string& name) const {
    const std::string want = Lower(name);
    for (const auto& [n, v] : headers) {
        if (Lower(n) == want) return v;
    }
    return "";
}

HttpRequestReader::Status HttpRequestReader::Add(const char* data, std::size_t size) {
    buffer_.append(data, size);
    return status_ == Status::NeedMore ? Parse() : status_;
}

HttpRequestReader::Status HttpRequestReader::Next() {
    if (status_ == Status::Bad) return status_;
    if (status_ == Status::Ready) buffer_.erase(0, consumed_);
    request_ = HttpRequest{};
    badStatus_ = 400;
    scanned_ = 0;
    consumed_ = 0;
    status_ = Status::NeedMore;
    return Parse();
}

HttpRequestReader::Status HttpRequestReader::Parse() {
    if (consumed_ == 0) {
        // Empty lines before a request are skipped (some clients send one
        // after a body).
        std::size_t lead = 0;
        while (buffer_.compare(lead, 2, "\r\n") == 0) lead += 2;
        if (lead > 0) {
            buffer_.erase(0, lead);
            scanned_ = 0;
        }
        const std::size_t from = scanned_ > 3 ? scanned_ - 3 : 0;
        const std::size_t end = buffer_.find("\r\n\r\n", from);
        // A line end without its CR: refused at once, not left to time out.
        for (std::size_t i = scanned_; i < (end == std::string::npos ? buffer_.size() : end); ++i) {
            if (buffer_[i] == '\n' && (i == 0 || buffer_[i - 1] != '\r')) {
                status_ = Status::Bad;
                return status_;
            }
        }
        if (end == std::string::npos) {
            scanned_ = buffer_.size();
            if (buffer_.size() > limits_.maxHeadBytes) {
                status_ = Status::Bad;
                if (buffer_.find("\r\n") == std::string::npos) badStatus_ = 414;
            }
            return status_;
        }
        const std::size_t headEnd = end + 4;
        if (headEnd > limits_.maxHeadBytes || !ParseHead(buffer_.substr(0, end))) {
            status_ = Status::Bad;
            return status_;
        }
        const long long body = BodyLength(request_, limits_.maxBodyBytes);
        if (body < 0 || !request_.Header("Transfer-Encoding").empty()) {
            status_ = Status::Bad;
            return status_;
        }
        consumed_ = headEnd + static_cast<std::size_t>(body);
    }
    if (buffer_.size() >= consumed_) status_ = Status::Ready;
    return status_;
}

bool HttpRequestReader::ParseHead(const std::string& head) {
    std::size_t start = 0;
    bool first = true;
    while (start <= head.size()) {
        std::size_t end = head.find("\r\n", start);
        if (end == std::string::npos) end = head.size();
        const std::string line = head.substr(start, end - start);
        if (first) {
            if (!ParseRequestLine(line, request_)) return false;
            first = false;
        } else if (request_.headers.size() >= limits_.maxHeaders || !ParseHeaderLine(line, request_)) {
            return false;  // includes folded lines, which start with a space
        }
        start = end + 2;
    }
    const std::string connection = request_.Header("Connection");
    request_.close = HasToken(connection, "close") ||
                     (request_.version == "HTTP/1.0" && !HasToken(connection, "keep-alive"));
    return true;
}
