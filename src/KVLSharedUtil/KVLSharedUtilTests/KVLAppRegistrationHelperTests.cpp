#include "KVLSharedUtil/KVLAppRegistrationHelper.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "LoggedServicesTest.h"
#include "Platform/ApplicationDatabase.h"

namespace {

using platform::URL;

constexpr char kSourcePath[] = "src/KVLSharedUtil/KVLSharedUtil/KVLAppRegistrationHelper";

using KVLAppRegistrationHelperTest = kvltest::LoggedServicesTest;

TEST_F(KVLAppRegistrationHelperTest, AFailureIsLoggedAndTheOthersAreStillRegistered) {
    KVLAppRegistrationHelper helper;
    const URL first = URL::fileURLWithPath(writeBundle("Applications/First.app", "com.example.first"), true);
    const URL third = URL::fileURLWithPath(writeBundle("Applications/Third.app", "com.example.third"), true);
    std::filesystem::create_directories(path("Applications/NoInfo.app"));
    helper.addApplicationURL(first);
    helper.addApplicationPath(path("Applications/NoInfo.app"));
    helper.addApplicationURL(third);

    helper.registerApplications();

    EXPECT_EQ(logger->messages(),
              (std::vector<std::string>{"Application First.app registered succesfully",
                                        "Application NoInfo.app not registered successfully due to error code "
                                        "-10814: The application “NoInfo.app” has no bundle identifier in its "
                                        "information.",
                                        "Application Third.app registered succesfully"}));
    for (const auto& line : logger->lines()) {
        EXPECT_EQ(line.level, line.message.find("not") == std::string::npos ? KVLLogLevelInfo : KVLLogLevelError);
        EXPECT_EQ(line.fileName, kSourcePath);
    }
    EXPECT_EQ(platform::ApplicationDatabase::applicationURLsForBundleIdentifier("com.example.first"),
              std::vector<URL>{first});
    EXPECT_EQ(platform::ApplicationDatabase::applicationURLsForBundleIdentifier("com.example.third"),
              std::vector<URL>{third});
    // The list is kept for another round.
    EXPECT_EQ(helper.mApplicationsToRegister().size(), 3u);
}

TEST_F(KVLAppRegistrationHelperTest, AnApplicationRecordedBeforeIsReadAgain) {
    const URL application = URL::fileURLWithPath(writeBundle("Applications/Renamed.app", "com.example.old"), true);
    ASSERT_EQ(platform::ApplicationDatabase::registerURL(application, false), platform::ApplicationDatabase::kNoError);
    writeBundle("Applications/Renamed.app", "com.example.new");
    KVLAppRegistrationHelper helper;
    helper.addApplicationURL(application);
    helper.registerApplications();
    EXPECT_EQ(platform::ApplicationDatabase::applicationURLsForBundleIdentifier("com.example.new"),
              std::vector<URL>{application});
}

}  // namespace
