#include "Platform/HTTPStatus.h"

#include <gtest/gtest.h>

namespace {

TEST(HTTPStatus, KnownPhrasesAndClassFallbacks) {
    using platform::HTTPStatus;
    EXPECT_EQ(HTTPStatus::localizedStringForStatusCode(200), "no error");
    EXPECT_EQ(HTTPStatus::localizedStringForStatusCode(404), "not found");
    EXPECT_EQ(HTTPStatus::localizedStringForStatusCode(500), "internal server error");
    EXPECT_EQ(HTTPStatus::localizedStringForStatusCode(199), "informational");
    EXPECT_EQ(HTTPStatus::localizedStringForStatusCode(299), "success");
    EXPECT_EQ(HTTPStatus::localizedStringForStatusCode(399), "redirected");
    EXPECT_EQ(HTTPStatus::localizedStringForStatusCode(499), "client error");
    EXPECT_EQ(HTTPStatus::localizedStringForStatusCode(599), "server error");
    EXPECT_EQ(HTTPStatus::localizedStringForStatusCode(0), "server error");
    EXPECT_EQ(HTTPStatus::localizedStringForStatusCode(700), "server error");
    EXPECT_EQ(HTTPStatus::localizedStringForStatusCode(-404), "server error");
    EXPECT_EQ(HTTPStatus::localizedStringForStatusCode(100), "continue");
    EXPECT_EQ(HTTPStatus::localizedStringForStatusCode(307), "temporarily redirected");
    EXPECT_EQ(HTTPStatus::localizedStringForStatusCode(505), "unsupported version");
}

}  // namespace
