#include "server/http_session.h"

#include <boost/asio/post.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/http/error.hpp>

#include "http/client_address.h"
#include "feed/feed_router.h"
#include "http/http_reply.h"
#include "http/request_screen.h"
#include "server/request_facts.h"
#include "server/server_context.h"

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;

namespace {

// 414 when not even the request line fits, 431 when the headers do not.
// `taken`: bytes of this head the parser has already taken (its request line).
int TooLargeStatus(const beast::flat_buffer& buffer, std::size_t taken) {
    const char* data = static_cast<const char*>(buffer.data().data());
    const std::string_view bytes(data, buffer.size());
    return taken == 0 && bytes.find('\n') == std::string_view::npos ? 414 : 431;
}

}  // namespace

HttpSession::HttpSession(ServerContext& ctx, asio::ip::tcp::socket socket, ConnectionTable::Id id, std::string peer,
                         bool trustedPeer)
    : ctx_(ctx), socket_(std::move(socket)), id_(id), peer_(std::move(peer)), trustedPeer_(trustedPeer),
      buffer_(ctx.options.limits.maxHeadBytes), waitingSince_(Clock::now()) {}

HttpSession::~HttpSession() { ctx_.Forget(id_); }

void HttpSession::Start() {
    asio::post(socket_.get_executor(), [self = shared_from_this()] { self->WaitForRequest(); });
}

void HttpSession::Close() {
    asio::post(socket_.get_executor(), [self = shared_from_this()] { self->Shut(); });
}

void HttpSession::Shut() {
    if (closed_) return;
    closed_ = true;
    beast::error_code ignored;
    socket_.shutdown(asio::ip::tcp::socket::shutdown_both, ignored);
    socket_.close(ignored);
    ctx_.Forget(id_);
}

// Waiting for the next request: the idle deadline until its first byte.
void HttpSession::WaitForRequest() {
    if (closed_) return;
    parser_.reset();
    waitingSince_ = Clock::now();
    headStarted_ = buffer_.size() > 0;
    const auto& limits = ctx_.options.limits;
    ctx_.table.Waiting(id_, waitingSince_, waitingSince_ + (headStarted_ ? limits.head : limits.idle));
    TakeRequest();
}

void HttpSession::ReadMore() {
    const std::size_t room = buffer_.max_size() - buffer_.size();
    socket_.async_read_some(buffer_.prepare(room), [self = shared_from_this()](beast::error_code ec, std::size_t n) {
        if (self->closed_) return;
        if (ec) {
            self->Shut();
            return;
        }
        self->buffer_.commit(n);
        if (!self->headStarted_ && n > 0) {
            // The head's deadline runs from its first byte.
            self->headStarted_ = true;
            self->ctx_.table.Waiting(self->id_, self->waitingSince_, Clock::now() + self->ctx_.options.limits.head);
        }
        self->TakeRequest();
    });
}

// Reads a request head from the bytes held, or waits for more.
void HttpSession::TakeRequest() {
    if (closed_) return;
    if (buffer_.size() == 0) {
        ReadMore();
        return;
    }
    if (!parser_) {
        taken_ = 0;
        parser_.emplace();
        parser_->header_limit(static_cast<std::uint32_t>(ctx_.options.limits.maxHeadBytes));
    }
    beast::error_code ec;
    const std::size_t used = parser_->put(buffer_.data(), ec);
    buffer_.consume(used);
    taken_ += used;
    if (ec == http::error::need_more) {
        if (buffer_.size() >= buffer_.max_size()) {
            Refuse(UnreadableRequestReply(TooLargeStatus(buffer_, taken_)), true, "", "");
            return;
        }
        ReadMore();
        return;
    }
    if (ec == http::error::header_limit) {
        Refuse(UnreadableRequestReply(TooLargeStatus(buffer_, taken_)), true, "", "");
        return;
    }
    if (ec && !parser_->is_header_done()) {
        ServiceReply r = UnreadableRequestReply(400);
        Refuse(std::move(r), true, "", "");
        return;
    }
    if (ec) {
        // A head that reads, with lengths that conflict.
        const auto& req = parser_->get();
        Refuse(RefusalReply(400, "Conflicting message lengths"), true, std::string(req.method_string()),
               std::string(req.target()));
        return;
    }
    if (!parser_->is_header_done()) {
        ReadMore();
        return;
    }
    Answer();
}

void HttpSession::Answer() {
    const auto& req = parser_->get();
    method_.assign(req.method_string().data(), req.method_string().size());
    target_.assign(req.target().data(), req.target().size());

    std::string forwardedFor;
    const RequestFacts facts = FactsOf(req, trustedPeer_ ? &forwardedFor : nullptr);
    const std::string client =
        trustedPeer_ ? ClientAddress(peer_, forwardedFor, ctx_.options.trustedProxies) : peer_;
    ++served_;
    const bool close = !parser_->keep_alive() || served_ >= ctx_.options.limits.maxRequests;
    if (auto refusal = ScreenRequest(facts, ctx_.options.screen)) {
        refusal->reply.date = ctx_.router.Now();
        Send(std::move(refusal->reply), method_ == "HEAD", refusal->close || close, method_, target_, client);
        return;
    }
    const bool head = method_ == "HEAD";
    ctx_.table.Answering(id_, Clock::time_point::max());
    if (ctx_.router.AnswersAtOnce(method_, target_)) {
        Send(ctx_.router.Answer(method_, target_, client), head, close, method_, target_, client);
        return;
    }
    // May call the source: on a worker, then back on this connection's strand.
    ctx_.workers.Post([self = shared_from_this(), method = method_, target = target_, client, head, close] {
        ServiceReply r;
        try {
            r = self->ctx_.router.Answer(method, target, client);
        } catch (...) {
            r = RefusalReply(500, "Internal error");
            r.date = self->ctx_.router.Now();
        }
        asio::post(self->socket_.get_executor(),
                   [self, r = std::move(r), method, target, client, head, close]() mutable {
                       self->Send(std::move(r), head, close, method, target, client);
                   });
    });
}

void HttpSession::Refuse(ServiceReply reply, bool close, const std::string& method, const std::string& target) {
    reply.date = ctx_.router.Now();
    if (reply.reason.empty()) reply.reason = "unreadable request";
    Send(std::move(reply), false, close, method.empty() ? "-" : method, target, peer_);
}

void HttpSession::Send(ServiceReply reply, bool head, bool close, const std::string& method,
                       const std::string& target, const std::string& client) {
    if (closed_) return;
    ctx_.log.Request(client, method, target, reply);
    out_ = ReplyBytes(reply, head, close, ctx_.replyRules);
    // A last reply frees the connection's place at once: the client may
    // connect again as soon as the reply arrives.
    if (close) ctx_.table.Closing(id_, Clock::now() + ctx_.options.limits.write + std::chrono::seconds(1));
    else ctx_.table.Answering(id_, Clock::now() + ctx_.options.limits.write);
    asio::async_write(socket_, asio::buffer(out_), [self = shared_from_this(), close](beast::error_code ec, std::size_t) {
        if (self->closed_) return;
        if (ec) {
            self->Shut();
            return;
        }
        if (close) {
            self->Linger();
            return;
        }
        self->WaitForRequest();
    });
}

// After the last reply: no more sending, and what the client still sends is
// read and dropped for a moment (the deadline Send() set), so that closing with unread bytes does not
// reset the connection before the client has the reply.
void HttpSession::Linger() {
    beast::error_code ignored;
    socket_.shutdown(asio::ip::tcp::socket::shutdown_send, ignored);
    buffer_.clear();
    Drain();
}

void HttpSession::Drain() {
    socket_.async_read_some(buffer_.prepare(buffer_.max_size()), [self = shared_from_this()](beast::error_code ec, std::size_t) {
        if (self->closed_) return;
        if (ec) {
            self->Shut();
            return;
        }
        self->Drain();
    });
}
