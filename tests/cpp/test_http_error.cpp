#include <gtest/gtest.h>

#include "http/HttpError.h"

using qiv::http::HttpError;
using qiv::http::HttpErrorCode;

TEST(HttpError, DebugFormQuotesTheDetail) {
    const HttpError err(HttpErrorCode::Setup, "a \"b\"\n\xff\\");
    EXPECT_EQ(err.debug(), "HttpError { code: Setup, detail: \"a \\\"b\\\"\\n\\xFF\\\\\" }");
    EXPECT_EQ(err.display(), "a \"b\"\n\xff\\");
}
