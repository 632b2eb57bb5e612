#include "Platform/Console.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <regex>

#include "TestSupport/ConsoleCapture.h"

namespace {

TEST(Console, SinkReceivesFormattedMessagesAndIsRestored) {
    {
        kvltest::ConsoleCapture capture;
        platform::Console::logFormat("Kenvault :: Unable to load Default Bundle at path: %@", "/x/en.lproj");
        platform::Console::log("plain");
        EXPECT_EQ(capture.messages(),
                  (std::vector<std::string>{"Kenvault :: Unable to load Default Bundle at path: /x/en.lproj", "plain"}));
        {
            kvltest::ConsoleCapture inner;
            platform::Console::log("inner only");
            EXPECT_TRUE(inner.contains("inner only"));
        }
        platform::Console::log("outer again");
        EXPECT_TRUE(capture.contains("outer again"));
        EXPECT_FALSE(capture.contains("inner only"));
    }
}

TEST(Console, LineCarriesTimeProcessPidAndThread) {
    const std::string line = platform::Console::formatLine("hello");
    const std::regex layout(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} \S+\[(\d+):\d+\] hello\n$)");
    std::smatch match;
    ASSERT_TRUE(std::regex_match(line, match, layout)) << line;
    EXPECT_EQ(std::stoi(match[1]), ::getpid());
    // A message that ends its own line is not given a second one.
    const std::string ended = platform::Console::formatLine("done\n");
    EXPECT_TRUE(ended.ends_with("] done\n")) << ended;
}

}  // namespace
