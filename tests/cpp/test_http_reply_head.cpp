#include <gtest/gtest.h>

#include "http/ReplyHead.h"

using qiv::http::HttpErrorCode;
using qiv::http::ReplyHead;

namespace {

bool feed_all(ReplyHead& head, std::initializer_list<std::string> lines) {
    for (const auto& line : lines) {
        if (!head.feed(line)) return false;
    }
    return true;
}

TEST(ReplyHead, KeepsStatusAndFirstFieldsOfTheFinalHead) {
    ReplyHead head(false);
    EXPECT_TRUE(feed_all(head, {"HTTP/1.1 100 Continue\r\n", "location: /interim\r\n", "\r\n",
                                "HTTP/1.1 302 Found\r\n", "Location:  /a \r\n", "location: /b\r\n",
                                "Content-Type: text/plain; charset=latin1\r\n", "\r\n", "trailer: x\r\n"}));
    EXPECT_EQ(head.status(), 302);
    EXPECT_EQ(head.location(), "/a");
    EXPECT_EQ(head.content_type(), "text/plain; charset=latin1");
}

TEST(ReplyHead, FieldLimitIsOneHundred) {
    ReplyHead ok(false);
    ASSERT_TRUE(ok.feed("HTTP/1.1 200 OK\r\n"));
    for (int i = 0; i < 100; ++i) ASSERT_TRUE(ok.feed("x-f: 1\r\n"));
    ASSERT_TRUE(ok.feed("\r\n"));
    ReplyHead too_many(false);
    ASSERT_TRUE(too_many.feed("HTTP/1.1 200 OK\r\n"));
    for (int i = 0; i < 100; ++i) ASSERT_TRUE(too_many.feed("x-f: 1\r\n"));
    EXPECT_FALSE(too_many.feed("x-f: 1\r\n"));
    EXPECT_EQ(too_many.error()->code(), HttpErrorCode::ReplyHead);
}

TEST(ReplyHead, SizeLimitCountsTheWholeHead) {
    const std::string status = "HTTP/1.1 200 OK\r\n";
    const std::size_t field_size = ReplyHead::kMaxHeadBytes - status.size() - 2;
    const std::string exact = "x: " + std::string(field_size - 5, 'a') + "\r\n";
    ReplyHead fits(false);
    EXPECT_TRUE(feed_all(fits, {status, exact, "\r\n"}));
    ReplyHead over(false);
    EXPECT_FALSE(feed_all(over, {status, "x: " + std::string(field_size - 4, 'a') + "\r\n", "\r\n"}));
}

TEST(ReplyHead, TunnelReplyFirst) {
    ReplyHead head(true);
    EXPECT_TRUE(feed_all(head, {"HTTP/1.0 200 Connection established\r\n", "\r\n", "HTTP/1.1 404 Not Found\r\n", "\r\n"}));
    EXPECT_EQ(head.status(), 404);

    for (const char* refused : {"HTTP/1.1 407 Proxy Authentication Required\r\n", "HTTP/1.1 502 Bad Gateway\r\n",
                                "HTTP/1.1 201 Created\r\n"}) {
        ReplyHead failed(true);
        EXPECT_FALSE(failed.feed(refused));
        EXPECT_EQ(failed.error()->code(), HttpErrorCode::ProxyTunnel);
    }

    ReplyHead long_head(true);
    EXPECT_TRUE(long_head.feed("HTTP/1.1 200 OK\r\n"));
    EXPECT_FALSE(long_head.feed("x: " + std::string(8192, 'a') + "\r\n"));
    EXPECT_EQ(long_head.error()->code(), HttpErrorCode::ProxyTunnel);
}

TEST(ReplyHead, MalformedStatusLineFails) {
    ReplyHead head(false);
    EXPECT_FALSE(head.feed("HTCPCP/1.0 418\r\n"));
    EXPECT_EQ(head.error()->code(), HttpErrorCode::ReplyHead);
}

}  // namespace
