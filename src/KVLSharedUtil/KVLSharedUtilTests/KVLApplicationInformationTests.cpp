#include "KVLSharedUtil/KVLApplicationInformation.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <optional>
#include <string>

#include "Platform/ProcessInfo.h"

namespace {

constexpr char kMarker[] = "APP_SANDBOX_CONTAINER_ID";

// Puts the marker back as the test found it.
class KVLApplicationInformationTest : public ::testing::Test {
protected:
    void TearDown() override {
        if (saved_) {
            ::setenv(kMarker, saved_->c_str(), 1);
        } else {
            ::unsetenv(kMarker);
        }
    }

private:
    std::optional<std::string> saved_ = platform::ProcessInfo::environmentValue(kMarker);
};

TEST_F(KVLApplicationInformationTest, SandboxedWhenTheMarkerIsSetWhateverItsValue) {
    ::unsetenv(kMarker);
    EXPECT_FALSE(KVLApplicationInformation::isApplicationSandboxed());
    ::setenv(kMarker, "", 1);
    EXPECT_TRUE(KVLApplicationInformation::isApplicationSandboxed());
    ::setenv(kMarker, "com.example.container", 1);
    EXPECT_TRUE(KVLApplicationInformation::isApplicationSandboxed());
    ::unsetenv(kMarker);
    ::setenv("APP_SANDBOX_CONTAINER", "1", 1);
    EXPECT_FALSE(KVLApplicationInformation::isApplicationSandboxed());
    ::unsetenv("APP_SANDBOX_CONTAINER");
}

}  // namespace
