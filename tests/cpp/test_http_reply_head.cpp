#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "http/ReplyHead.h"

using qiv::http::HttpErrorCode;
using qiv::http::ReplyHead;

namespace {

bool feed_all(ReplyHead& head, const std::vector<std::string>& lines) {
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

struct HeadCase {
    const char* name;
    std::vector<std::string> lines;
};

class MalformedHead : public ::testing::TestWithParam<HeadCase> {};

TEST_P(MalformedHead, Fails) {
    ReplyHead head(false);
    bool ok = true;
    for (const auto& line : GetParam().lines) {
        ok = head.feed(line);
        if (!ok) break;
    }
    EXPECT_FALSE(ok);
    ASSERT_TRUE(head.error());
    EXPECT_EQ(head.error()->code(), HttpErrorCode::ReplyHead);
}

const std::string kOk = "HTTP/1.1 200 OK\r\n";

INSTANTIATE_TEST_SUITE_P(
    Heads, MalformedHead,
    ::testing::Values(HeadCase{"version_2", {"HTTP/2 200 OK\r\n"}}, HeadCase{"version_1_2", {"HTTP/1.2 200 OK\r\n"}},
                      HeadCase{"four_digits", {"HTTP/1.1 2000 OK\r\n"}}, HeadCase{"letters", {"HTTP/1.1 abc OK\r\n"}},
                      HeadCase{"no_space_after_code", {"HTTP/1.1 200OK\r\n"}},
                      HeadCase{"control_in_reason", {"HTTP/1.1 200 O\x01K\r\n"}},
                      HeadCase{"bare_cr_in_field", {kOk, "x-a: 1\rx-b: 2\r\n"}},
                      HeadCase{"bare_cr_in_status", {"HTTP/1.1 200 O\rK\r\n"}},
                      HeadCase{"content_lengths_differ", {kOk, "content-length: 3\r\n", "Content-Length: 4\r\n"}},
                      HeadCase{"content_length_list_differs", {kOk, "content-length: 3, 4\r\n"}},
                      HeadCase{"content_length_letters", {kOk, "content-length: abc\r\n"}},
                      HeadCase{"content_length_negative", {kOk, "content-length: -1\r\n"}},
                      HeadCase{"content_length_empty", {kOk, "content-length:\r\n"}},
                      HeadCase{"content_length_too_large", {kOk, "content-length: 9223372036854775808\r\n"}},
                      HeadCase{"no_colon", {kOk, "no colon here\r\n"}},
                      HeadCase{"space_before_colon", {kOk, "content-type : text/plain\r\n"}},
                      HeadCase{"empty_name", {kOk, ": v\r\n"}},
                      HeadCase{"nul_in_value", {kOk, std::string("x-a: a\0b\r\n", 10)}},
                      HeadCase{"delete_in_value", {kOk, "x-a: a\x7f\r\n"}},
                      HeadCase{"fold_without_field", {kOk, " folded\r\n"}},
                      HeadCase{"coding_gzip", {kOk, "transfer-encoding: gzip\r\n", "\r\n"}},
                      HeadCase{"coding_in_second_field", {kOk, "transfer-encoding: chunked\r\n", "transfer-encoding: br\r\n"}},
                      HeadCase{"coding_in_interim", {"HTTP/1.1 100 Continue\r\n", "transfer-encoding: gzip, chunked\r\n"}},
                      HeadCase{"chunked_twice", {kOk, "transfer-encoding: chunked, chunked\r\n"}},
                      HeadCase{"chunked_with_parameter", {kOk, "transfer-encoding: chunked;q=1\r\n", "\r\n"}},
                      HeadCase{"coding_folded_on", {kOk, "transfer-encoding: chunked\r\n", " gzip\r\n"}},
                      HeadCase{"chunked_in_http10", {"HTTP/1.0 200 OK\r\n", "transfer-encoding: chunked\r\n"}}),
    [](const ::testing::TestParamInfo<HeadCase>& param_info) { return std::string(param_info.param.name); });

TEST(ReplyHead, CodingsBeforeAFinalChunkedPass) {
    for (const std::vector<std::string>& lines : std::vector<std::vector<std::string>>{
             {kOk, "Transfer-Encoding: gzip, chunked\r\n", "\r\n"},
             {kOk, "transfer-encoding: br\r\n", "transfer-encoding: Chunked\r\n", "\r\n"},
             {"HTTP/1.1 100 Continue\r\n", "\r\n", kOk, "transfer-encoding: deflate, chunked\r\n", "\r\n"}}) {
        ReplyHead head(false);
        EXPECT_TRUE(feed_all(head, lines)) << lines[1];
        EXPECT_TRUE(head.body_chunked()) << lines[1];
    }
}

TEST(ReplyHead, WellFormedHeadsPass) {
    for (const std::vector<std::string>& lines : std::vector<std::vector<std::string>>{
             {"HTTP/1.1 200\r\n", "\r\n"},
             {"HTTP/1.0 200 \r\n", "\r\n"},
             {kOk, "content-length: 2\r\n", "content-length: 2\r\n", "\r\n"},
             {kOk, "content-length: 2 , 2\r\n", "\r\n"},
             {kOk, "x-a: 1\r\n", "  more\r\n", "\r\n"},
             {kOk, "x-a: caf\xc3\xa9\t\xff\r\n", "\r\n"},
             {"HTTP/1.1 200 OK\n", "x-a: 1\n", "\n"},
             {kOk, "Transfer-Encoding: , Chunked\r\n", "\r\n"},
             {kOk, "content-length: 2\r\n", " \r\n", "\r\n"}}) {
        ReplyHead head(false);
        EXPECT_TRUE(feed_all(head, lines)) << lines[0] << lines[1];
        EXPECT_EQ(head.status(), 200);
        EXPECT_TRUE(head.complete());
    }
}

TEST(ReplyHead, HeadWithoutItsEmptyLineIsNotComplete) {
    for (const std::vector<std::string>& lines : std::vector<std::vector<std::string>>{
             {kOk},
             {kOk, "content-length: 2\r\n"},
             {"HTTP/1.1 100 Continue\r\n", "\r\n"},
             {"HTTP/1.1 307 Temporary Redirect\r\n", "location: /next\r\n"}}) {
        ReplyHead head(false);
        EXPECT_TRUE(feed_all(head, lines));
        EXPECT_FALSE(head.complete()) << lines[0];
    }
}

TEST(ReplyHead, FoldedLineContinuesTheKeptField) {
    ReplyHead head(false);
    EXPECT_TRUE(feed_all(head, {"HTTP/1.1 302 Found\r\n", "content-type: text/plain;\r\n", "\t charset=latin1\r\n",
                                "location: /a\r\n", "\r\n"}));
    EXPECT_EQ(head.content_type(), "text/plain; charset=latin1");
    EXPECT_EQ(head.location(), "/a");
}

TEST(ReplyHead, TunnelReplyOnlyOnANewConnection) {
    // A reused tunnel: the request goes out at once, and the first head is the origin's.
    ReplyHead reused(true);
    reused.request_started();
    EXPECT_TRUE(feed_all(reused, {"HTTP/1.1 200 OK\r\n", "content-type: text/plain; charset=latin1\r\n", "\r\n"}));
    EXPECT_EQ(reused.content_type(), "text/plain; charset=latin1");

    // A new tunnel after a request started: the proxy's answer comes first again.
    ReplyHead retried(true);
    retried.request_started();
    retried.connection_opened();
    EXPECT_TRUE(feed_all(retried, {"HTTP/1.1 200 Connection established\r\n", "\r\n"}));
    retried.request_started();
    EXPECT_TRUE(feed_all(retried, {"HTTP/1.1 404 Not Found\r\n", "\r\n"}));
    EXPECT_EQ(retried.status(), 404);

    // Without a proxy a new connection has no tunnel reply.
    ReplyHead direct(false);
    direct.connection_opened();
    direct.request_started();
    EXPECT_FALSE(direct.feed("HTTP/1.1 200 Connection established extra\x01\r\n"));
}

}  // namespace
