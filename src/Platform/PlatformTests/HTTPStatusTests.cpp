#include "Platform/HTTPStatus.h"

#include <gtest/gtest.h>

namespace {

TEST(HTTPStatus, KnownPhrasesAndClassFallbacks) {
    const std::pair<int, const char*> cases[] = {
        {200, "no error"},     {404, "not found"},  {199, "informational"},
        {299, "success"},      {399, "redirected"}, {499, "client error"},
        {599, "server error"}, {0, "server error"}, {700, "server error"},
    };
    for (const auto& [code, phrase] : cases) {
        EXPECT_EQ(platform::HTTPStatus::localizedStringForStatusCode(code), phrase) << code;
    }
}

}  // namespace
