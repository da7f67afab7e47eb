#pragma once
// The facts the request screen (core/request_screen.h) looks at, taken from
// a head Beast has parsed, and the X-Forwarded-For a trusted proxy sent.
// The string views point into `head`.
#include <string>

#include <boost/beast/core/string.hpp>
#include <boost/beast/http/empty_body.hpp>
#include <boost/beast/http/field.hpp>
#include <boost/beast/http/message.hpp>

#include "http/request_screen.h"

inline RequestFacts FactsOf(const boost::beast::http::request<boost::beast::http::empty_body>& head,
                            std::string* forwardedFor) {
    namespace http = boost::beast::http;
    RequestFacts facts;
    facts.http11 = head.version() >= 11;
    for (const auto& f : head) {
        const std::string_view value(f.value().data(), f.value().size());
        switch (f.name()) {
            case http::field::host: facts.hosts.push_back(value); break;
            case http::field::content_length:
                ++facts.contentLengths;
                facts.nonZeroLength |= value != "0";
                break;
            case http::field::transfer_encoding: facts.transferEncoding = true; break;
            case http::field::origin: facts.origin = true; break;
            case http::field::referer: facts.referer = true; break;
            default:
                if (boost::beast::iequals(f.name_string(), "sec-fetch-site")) {
                    facts.secFetchSite = value;
                } else if (forwardedFor && boost::beast::iequals(f.name_string(), "x-forwarded-for")) {
                    if (!forwardedFor->empty()) *forwardedFor += ", ";
                    forwardedFor->append(value.data(), value.size());
                }
        }
    }
    return facts;
}
