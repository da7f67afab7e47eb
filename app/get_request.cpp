#include "app/get_request.h"

std::string BuildGetRequest(const std::string& path, const std::string& host) {
    return "GET " + path + " HTTP/1.1\r\n"
           "Accept: */*\r\n"
           "Accept-Language: en-us\r\n"
           "Accept-Encoding: \r\n"
           "User-Agent: \r\n"
           "Host: " + host + "\r\n"
           "Connection: Keep-Alive\r\n"
           "\r\n";
}
