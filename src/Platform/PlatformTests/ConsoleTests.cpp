#include "Platform/Console.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <regex>

#include "TestSupport/ConsoleCapture.h"

namespace {

TEST(Console, SinkReceivesFormattedMessagesAndLinesCarryTimeProcessAndThread) {
    kvltest::ConsoleCapture capture;
    platform::Console::logFormat("Kenvault :: Unable to load Default Bundle at path: %@", "/x/en.lproj");
    platform::Console::log("plain");
    EXPECT_EQ(capture.messages(),
              (std::vector<std::string>{"Kenvault :: Unable to load Default Bundle at path: /x/en.lproj", "plain"}));

    const std::string line = platform::Console::formatLine("hello");
    std::smatch match;
    ASSERT_TRUE(std::regex_match(line, match,
                                 std::regex(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} \S+\[(\d+):\d+\] hello\n$)")))
        << line;
    EXPECT_EQ(std::stoi(match[1]), ::getpid());
    // A message that ends its own line is not given a second one.
    EXPECT_TRUE(platform::Console::formatLine("done\n").ends_with("] done\n"));
}

}  // namespace
