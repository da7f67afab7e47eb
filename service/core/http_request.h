#pragma once
// Reads HTTP/1.1 requests from the bytes of one connection, as they come:
// in any pieces, several back to back, or never finished. Only what a GET
// needs is kept; the reader's memory is bounded by its limits.
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

struct HttpRequest {
    std::string method;   // "GET", "HEAD", ...
    std::string target;   // as sent: "/forecastrss?w=1"
    std::string version;  // "HTTP/1.1" or "HTTP/1.0"
    std::vector<std::pair<std::string, std::string>> headers;  // in order, values trimmed
    bool close = false;   // the client asked to close after the reply

    // The first header of that name (any case), "" when there is none.
    std::string Header(const std::string& name) const;
};

struct RequestLimits {
    std::size_t maxHeadBytes = 8192;  // request line and headers, with their line ends
    std::size_t maxHeaders = 100;
    std::size_t maxBodyBytes = 8192;  // a body is read and dropped
};

class HttpRequestReader {
public:
    enum class Status { NeedMore, Ready, Bad };

    explicit HttpRequestReader(RequestLimits limits = {}) : limits_(limits) {}

    // Takes the next bytes from the connection. Once Ready or Bad, further
    // bytes are kept for later and the status stays until Next().
    Status Add(const char* data, std::size_t size);
    Status status() const { return status_; }

    // The request read, while status() is Ready.
    const HttpRequest& request() const { return request_; }

    // Drops the request just read and reads on in the bytes after it (a
    // client may send its next request before the reply).
    Status Next();

    // The status a Bad request gets: 414 when its request line alone is
    // over the limit, else 400.
    int badStatus() const { return badStatus_; }

    // Bytes held: the request being read and any that came after it.
    std::size_t buffered() const { return buffer_.size(); }

private:
    Status Parse();
    bool ParseHead(const std::string& head);

    RequestLimits limits_;
    std::string buffer_;
    std::size_t scanned_ = 0;   // bytes searched for the head's end so far
    std::size_t consumed_ = 0;  // bytes of the request that is Ready
    Status status_ = Status::NeedMore;
    int badStatus_ = 400;
    HttpRequest request_;
};
