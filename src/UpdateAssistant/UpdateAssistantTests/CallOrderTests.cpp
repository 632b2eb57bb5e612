#include <filesystem>

#include "AssistantTest.h"
#include "KVLUpdaterInstallAssistant.h"
#include "KVLUpdaterUpdateAssistant.h"

namespace {

// Both assistants and the arguments their operations take, fresh for each case.
struct Assistants {
    KVLUpdaterInstallAssistant install;
    KVLUpdaterUpdateAssistant update;
    std::vector<std::string> advices{"kept"};
    std::vector<std::string> prerequisites{"kept"};
    platform::PlistDictionary components{{"a", platform::PlistValue("kept")}};
    bool logoff = false;
};

class CallOrderTest : public kvltest::AssistantTest {
protected:
    // Sets both assistants up so that none of the operations may run.
    void arrive(int state, Assistants& assistants) {
        KVLUpdaterInstallAssistant& install = assistants.install;
        KVLUpdaterUpdateAssistant& update = assistants.update;
        switch (state) {
            case 0:  // before any setup
                break;
            case 1: {  // after a setup that failed once the logger was bound
                const std::string schedule = resource("UpdateScheduler.plist");
                std::filesystem::rename(schedule, schedule + ".away");
                refreshPaths();
                install.setupInstallation(provider, logger, std::nullopt);
                std::filesystem::rename(schedule + ".away", schedule);
                refreshPaths();
                break;
            }
            case 2:  // after complete cycles
                ASSERT_TRUE(install.setupInstallation(provider, logger, std::nullopt));
                install.cleanupInstallation();
                ASSERT_TRUE(install.setupUninstallation(provider, logger));
                install.cleanupUninstallation();
                ASSERT_TRUE(update.setupUpdate(provider, logger));
                update.cleanupUpdate();
                break;
            case 3:  // after a successful setup and a failed one (the logger is taken)
                ASSERT_TRUE(install.setupInstallation(provider, logger, std::nullopt));
                ASSERT_FALSE(install.setupUninstallation(provider, logger));
                EXPECT_EQ(logger->lines().back().message, "Failed to Setup updater for uninstallation.");
                break;
        }
    }
};

TEST_F(CallOrderTest, EveryOperationOutsideASetUpCycleRefusesAndSaysSo) {
    // Each answers whether the operation refused: false, and nothing changed.
    const struct {
        const char* name;
        bool (*refused)(Assistants&);
    } operations[] = {
        {"KVLUpdaterInstallAssistant - performPreInstallationAndAdvice",
         [](Assistants& a) { return !a.install.performPreInstallationAndAdvice(a.advices); }},
        {"KVLUpdaterInstallAssistant - installAndRestartRequired",
         [](Assistants& a) { return !a.install.installAndRestartRequired(nullptr, &a.logoff) && !a.logoff; }},
        {"KVLUpdaterInstallAssistant - rollbackInstallation",
         [](Assistants& a) { return a.install.rollbackInstallation(), true; }},
        {"KVLUpdaterInstallAssistant - performPostInstallationAndAdvices",
         [](Assistants& a) {
             return !a.install.performPostInstallationAndAdvices(a.advices, nullptr, &a.logoff) && !a.logoff;
         }},
        {"KVLUpdaterInstallAssistant - performPreUninstallationAndAdvice",
         [](Assistants& a) { return !a.install.performPreUninstallationAndAdvice(a.advices); }},
        {"KVLUpdaterInstallAssistant - uninstallAndRestartRequired",
         [](Assistants& a) { return !a.install.uninstallAndRestartRequired(nullptr, nullptr); }},
        {"KVLUpdaterInstallAssistant - performPostUninstallation",
         [](Assistants& a) { return a.install.performPostUninstallation(), true; }},
        {"KVLUpdaterUpdateAssistant - isDependentOn",
         [](Assistants& a) { return a.update.isDependentOn(a.components), *a.components.at("a").string() == "kept"; }},
        {"KVLUpdaterUpdateAssistant - checkPreRequisite",
         [](Assistants& a) { return a.update.checkPreRequisite(a.prerequisites), true; }},
        {"KVLUpdaterUpdateAssistant - unloadComponent", [](Assistants& a) { return !a.update.unloadComponent(); }},
        {"KVLUpdaterUpdateAssistant - performPostUpdateOfPatchesWithRestartRequired",
         [](Assistants& a) {
             return !a.update.performPostUpdateOfPatchesWithRestartRequired(nullptr, nullptr, nullptr);
         }},
        {"KVLUpdaterUpdateAssistant - loadComponentWithRestartRequired",
         [](Assistants& a) { return !a.update.loadComponentWithRestartRequired(nullptr, nullptr); }},
    };
    const bool loggerBound[] = {false, true, false, true};
    for (int state = 0; state < 4; ++state) {
        for (const auto& operation : operations) {
            Assistants assistants;
            arrive(state, assistants);
            const std::size_t lines = logger->lines().size();
            console.clear();
            EXPECT_TRUE(operation.refused(assistants)) << state << " " << operation.name;
            const std::string message = std::string(operation.name) + " called without a successful setup";
            if (loggerBound[state]) {
                ASSERT_EQ(logger->lines().size(), lines + 1) << state << " " << operation.name;
                EXPECT_EQ(logger->lines().back().message, message);
                EXPECT_EQ(logger->lines().back().level, KVLLogLevelError);
            } else {
                EXPECT_EQ(console.messages(), std::vector<std::string>{"OrvaneLite:: " + message}) << state;
            }
            EXPECT_TRUE(provider->calls().empty()) << state << " " << operation.name;
            kvltest::unloadAllServices();
        }
    }
}

}  // namespace
