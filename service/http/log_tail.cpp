#include "http/log_tail.h"

std::string KeptLogTail(const std::string& tail) {
    const std::size_t nl = tail.find('\n');
    return nl == std::string::npos ? std::string() : tail.substr(nl + 1);
}
