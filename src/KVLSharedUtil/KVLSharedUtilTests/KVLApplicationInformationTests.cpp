#include "KVLSharedUtil/KVLApplicationInformation.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include "Platform/ProcessInfo.h"

namespace {

TEST(KVLApplicationInformation, SandboxedWhenTheMarkerIsSetWhateverItsValue) {
    const auto saved = platform::ProcessInfo::environmentValue("APP_SANDBOX_CONTAINER_ID");
    ::unsetenv("APP_SANDBOX_CONTAINER_ID");
    ::setenv("APP_SANDBOX_CONTAINER", "1", 1);  // a near miss
    EXPECT_FALSE(KVLApplicationInformation::isApplicationSandboxed());
    ::unsetenv("APP_SANDBOX_CONTAINER");
    for (const char* value : {"", "com.example.container"}) {
        ::setenv("APP_SANDBOX_CONTAINER_ID", value, 1);
        EXPECT_TRUE(KVLApplicationInformation::isApplicationSandboxed()) << value;
    }
    if (saved) {
        ::setenv("APP_SANDBOX_CONTAINER_ID", saved->c_str(), 1);
    } else {
        ::unsetenv("APP_SANDBOX_CONTAINER_ID");
    }
}

}  // namespace
