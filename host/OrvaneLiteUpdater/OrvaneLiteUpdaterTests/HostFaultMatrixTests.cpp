#include <algorithm>
#include <iterator>
#include <vector>

#include "HostTest.h"

namespace {

using namespace kvltest;

// A cycle driven through the host, after the commands that prepare its root; only the
// provider operations named fail (all when none are).
struct Cycle {
    std::string command;
    std::vector<std::string> preparation;
    std::vector<std::string> failing;
};

// The provider's operations as --fail names them and as the host logs them.
constexpr std::pair<const char*, const char*> kOperations[] = {
    {"copy", "Privilege provider: copy "},
    {"attributes", "Privilege provider: attributes "},
    {"remove", "Privilege provider: remove "},
    {"launch", "Privilege provider: run "},
};

class HostFaultMatrixTest : public HostTest {
protected:
    // A fresh case folder holding a staged root, prepared for the cycle; answers the root.
    std::string prepare(const Cycle& cycle, const std::string& name) const {
        const std::string root = path(name + "/root");
        EXPECT_EQ(host("stage --root " + root).status, 0);
        for (const std::string& command : cycle.preparation) {
            EXPECT_EQ(host(command + " --root " + root).status, 0) << command;
        }
        fs::remove(root + "/" + kLog);
        return root;
    }
    static std::size_t count(const std::string& text, const std::string& prefix) {
        std::size_t calls = 0;
        for (auto at = text.find(prefix); at != std::string::npos; at = text.find(prefix, at + 1)) {
            ++calls;
        }
        return calls;
    }
    // Nothing of the updater is left under the root, and nothing beside the root in its case
    // folder was touched.
    void expectClean(const std::string& root, const std::string& what) const {
        EXPECT_FALSE(fs::exists(root + "/" + kUpdaterFolder)) << what;
        for (const char* folder : {"/Library/LaunchAgents", "/Library/LaunchDaemons"}) {
            EXPECT_TRUE(!fs::exists(root + folder) || fs::is_empty(root + folder)) << what << folder;
        }
        const std::string table = root + "/var/run/launchd-standin/jobs.plist";
        const std::string jobs = fs::exists(table) ? readFile(table) : "";
        for (const char* label : {"com.orvane.OrvaneLite.AutoUpdater", "com.orvane.OrvaneLite.CopyHelper",
                                  "com.orvane.OrvaneLite.UpdateHelper"}) {
            EXPECT_EQ(jobs.find(label), std::string::npos) << what << ": " << label;
        }
        const fs::path caseFolder = fs::path(root).parent_path();
        EXPECT_EQ(std::distance(fs::directory_iterator(caseFolder), fs::directory_iterator()), 1) << what;
    }
};

TEST_F(HostFaultMatrixTest, EveryProviderCallOfEveryCycleCanFailAndAnUninstallStillCleansUp) {
    const Cycle cycles[] = {{"install", {}, {}},
                            {"install", {"install"}, {"copy", "attributes"}},  // a re-install that cannot copy
                            {"uninstall", {"install"}, {}},
                            {"rollback", {"install"}, {}}};
    int cases = 0;
    for (const Cycle& cycle : cycles) {
        const bool reinstall = cycle.command == "install" && !cycle.preparation.empty();
        const std::string clean = prepare(cycle, cycle.command + std::to_string(cycle.preparation.size()) + "-clean");
        ASSERT_EQ(host(cycle.command + " --root " + clean).status, 0) << cycle.command;
        const std::string cleanLog = readFile(clean + "/" + kLog);
        if (cycle.command == "rollback") {  // a rollback keeps the settings but not the jobs
            EXPECT_TRUE(fs::exists(clean + "/" + kPreferences) && fs::exists(clean + "/" + kSchedule));
            EXPECT_FALSE(fs::exists(clean + "/" + kAgent));
        }
        for (const auto& [operation, logged] : kOperations) {
            if (!cycle.failing.empty() &&
                std::find(cycle.failing.begin(), cycle.failing.end(), operation) == cycle.failing.end()) {
                continue;
            }
            const std::size_t calls = count(cleanLog, logged);
            for (std::size_t call = 1; call <= calls; ++call) {
                const std::string what = cycle.command + " --fail " + operation + ":" + std::to_string(call);
                const std::string root = prepare(cycle, "case" + std::to_string(++cases));
                const HostRun run = host(what + " --root " + root);
                const std::string log = readFile(root + "/" + kLog);
                if (cycle.command == "uninstall") {
                    // Uninstallation passes over every failure, then names what is left.
                    EXPECT_EQ(run.status, 1) << what << run.out;
                    EXPECT_NE(run.out.find(" installed item(s) could not be removed"), std::string::npos) << what;
                } else if (cycle.command == "rollback") {
                    EXPECT_EQ(run.status, 0) << what << run.out;
                    EXPECT_NE(run.out.find("rollback: done"), std::string::npos) << what;
                } else if (std::string(operation) == "launch") {
                    EXPECT_EQ(run.status, 3) << what << run.out;
                    EXPECT_NE(run.out.find("a log-off is required"), std::string::npos) << what;
                } else {
                    EXPECT_EQ(run.status, 1) << what << run.out;
                    const bool settingsCopy = std::string(operation) == "copy" && call <= 2;
                    EXPECT_NE(log.find(settingsCopy ? "Failed to copy files during Installation."
                                                    : "Failed to Register Launch Services during Installation."),
                              std::string::npos)
                        << what;
                    EXPECT_NE(run.out.find("install: rollback ... done"), std::string::npos) << what;
                    EXPECT_NE(log.find("KVLFileOperationHelper - No files to delete"), std::string::npos) << what;
                    if (reinstall) {  // the earlier install is back as it was, its jobs loaded
                        EXPECT_NE(run.out.find("the earlier install was put back"), std::string::npos) << what;
                        for (const char* file : {kAgent, kCopyHelper, kUpdateHelper}) {
                            EXPECT_EQ(readFile(root + "/" + file), readFile(clean + "/" + file)) << what << file;
                        }
                        EXPECT_EQ(host("status --verify --root " + root).status, 0) << what;
                    } else {  // rolled back: the jobs' files are gone before any uninstallation
                        EXPECT_FALSE(fs::exists(root + "/" + kAgent)) << what;
                    }
                }
                EXPECT_NE(log.find("Privilege provider: Injected failure of "), std::string::npos) << what;
                // Installation stops at the failed call; the other cycles attempt every call.
                EXPECT_EQ(count(log, logged), cycle.command == "install" ? call : calls) << what;
                // A daemon whose unload failed is unloaded by its path once its property list is gone.
                EXPECT_EQ(host("uninstall --root " + root).status, 0) << what;
                expectClean(root, what);
            }
        }
    }
    // Install: 5 copies, 3 attribute changes, 2 daemon loads; re-install: 5 copies, 3
    // attribute changes; uninstall: 2 unloads, 4 removals; rollback: 2 unloads, 3 removals.
    EXPECT_EQ(cases, 29);
}

}  // namespace
