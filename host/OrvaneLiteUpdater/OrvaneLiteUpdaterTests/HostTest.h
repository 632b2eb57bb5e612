#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "Platform/ApplicationDatabase.h"
#include "TestSupport/TemporaryRoot.h"

namespace kvltest {

namespace fs = std::filesystem;

inline constexpr char kUpdaterFolder[] = "Library/Application Support/Orvane/Orvane Lite/Orvane Lite Updater";
inline constexpr char kPreferences[] =
    "Library/Application Support/Orvane/Orvane Lite/Orvane Lite "
    "Updater/SystemPreferences/UpdaterSystemPreferences.plist";
inline constexpr char kSchedule[] =
    "Library/Application Support/Orvane/Orvane Lite/Orvane Lite Updater/SystemPreferences/UpdateScheduler.plist";
inline constexpr char kAgent[] = "Library/LaunchAgents/com.orvane.OrvaneLite.AutoUpdater.plist";
inline constexpr char kCopyHelper[] = "Library/LaunchDaemons/com.orvane.OrvaneLite.CopyHelper.plist";
inline constexpr char kUpdateHelper[] = "Library/LaunchDaemons/com.orvane.OrvaneLite.UpdateHelper.plist";
inline constexpr char kLog[] = "Library/Logs/OrvaneLiteUpdater.log";

struct HostRun {
    int status;
    std::string out;
    std::string err;
};

// The built host against a fresh root (or another root of the test's).
class HostTest : public kvltest::TemporaryRootTest {
protected:
    HostRun host(const std::string& arguments) const { return run(KVL_HOST_PATH, arguments); }
    // Another copy of the host, such as the one staged under the root.
    HostRun run(const std::string& executable, const std::string& arguments) const {
        const std::string out = path("host.out"), err = path("host.err");
        const int status = std::system(("'" + executable + "' " + arguments + " >" + out + " 2>" + err).c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, readFile(out), readFile(err)};
    }
    bool exists(const std::string& relative) const { return fs::exists(path(relative)); }
    std::string jobs() const {
        const std::string table = path("var/run/launchd-standin/jobs.plist");
        return fs::exists(table) ? readFile(table) : "";
    }
    bool logHas(const std::string& text) const { return readFile(kLog).find(text) != std::string::npos; }
    bool registered() const {
        return !platform::ApplicationDatabase::applicationURLsForBundleIdentifier("com.orvane.OrvaneLite.AutoUpdater")
                    .empty();
    }
};

// The same, with the updater application staged before each test.
class HostEndToEndTest : public HostTest {
protected:
    void SetUp() override { ASSERT_EQ(host("stage --root " + root()).status, 0); }
};

}  // namespace kvltest
