#include <gtest/gtest.h>

#include <functional>
#include <thread>
#include <tuple>
#include <vector>

#include "ErrorService/KVLCreateInternalError.h"
#include "ErrorService/KVLErrorService.h"
#include "ErrorService/Private/KVLStringManager.h"
#include "TestSupport/ConsoleCapture.h"
#include "TestSupport/LoadedServices.h"

namespace {

class KVLErrorServiceTest : public ::testing::Test {
protected:
    void SetUp() override { kvltest::unloadAllServices(); }
    void TearDown() override { kvltest::unloadAllServices(); }

    static void loadOnce() {
        std::shared_ptr<platform::Error> slot;
        KVLErrorService::load(nullptr, &slot);
        ASSERT_EQ(slot, nullptr);
    }
};

TEST_F(KVLErrorServiceTest, LoadCountsShareOneManagerAndSurplusUnloadsDoNothing) {
    EXPECT_EQ(KVLErrorService::sharedInstance(), nullptr);
    EXPECT_EQ(KVLCreateInternalError(), nullptr);
    loadOnce();
    auto manager = KVLErrorService::sharedInstance()->errorManager();
    ASSERT_NE(manager, nullptr);
    loadOnce();
    KVLErrorService::unload(nullptr);
    ASSERT_TRUE(KVLErrorService::isLoaded());
    EXPECT_EQ(KVLErrorService::sharedInstance()->errorManager(), manager);
    const std::weak_ptr<IKVLErrorManager> released = manager;
    manager.reset();
    KVLErrorService::unload(nullptr);
    EXPECT_FALSE(KVLErrorService::isLoaded());
    EXPECT_EQ(KVLErrorService::sharedInstance(), nullptr);
    EXPECT_TRUE(released.expired());
    KVLErrorService::unload(nullptr);
    EXPECT_EQ(KVLErrorService::incrementLoadCount(), 1);
    EXPECT_EQ(KVLErrorService::decrementLoadCount(), 0);
}

TEST_F(KVLErrorServiceTest, ASlotHoldingAnObjectOrNoSlotMakesTheFirstLoadFail) {
    auto slot = std::make_shared<platform::Error>();
    KVLErrorService::load(nullptr, &slot);
    EXPECT_FALSE(KVLErrorService::isLoaded());
    KVLErrorService::load(nullptr, nullptr);
    EXPECT_FALSE(KVLErrorService::isLoaded());
}

TEST_F(KVLErrorServiceTest, MissingLanguageIdsAreReportedDefaultFirst) {
    loadOnce();
    const auto service = KVLErrorService::sharedInstance();
    const std::tuple<std::optional<std::string>, std::int64_t, std::string> missing[] = {
        {std::nullopt, -17004, "Unable to create String Manager object since Default Language Id is not found."},
        {"en", -17005, "Unable to create String Manager object since Locale Language Id is not found."}};
    for (const auto& [defaultId, code, message] : missing) {
        kvltest::ConsoleCapture console;
        auto record = KVLCreateInternalError();
        EXPECT_EQ(service->createStringManagerWithDefaultLanguageId(defaultId, std::nullopt, record.get()), nullptr);
        EXPECT_EQ(std::tuple(record->getErrorCode(), record->getErrorType(), record->getDescription()),
                  std::tuple(code, KVLInternalErrorTypeOther, message));
        EXPECT_EQ(record->getFileName(), "src/ErrorService/ErrorService/Private/KVLErrorService");
        EXPECT_EQ(console.messages(), std::vector<std::string>{"Kenvault :: " + message});
    }

    // Only a missing id counts: an empty one passes, and the ids keep their roles.
    kvltest::ConsoleCapture console;
    auto record = KVLCreateInternalError();
    const auto created = service->createStringManagerWithDefaultLanguageId("", "fr", record.get());
    const auto* manager = dynamic_cast<KVLStringManager*>(created.get());
    ASSERT_NE(manager, nullptr);
    EXPECT_EQ(manager->mDefaultLanguageCode(), "");
    EXPECT_EQ(manager->mLocaleLanguageCode(), "fr");
    EXPECT_TRUE(record->isSuccess());
    EXPECT_TRUE(console.messages().empty());
}

TEST_F(KVLErrorServiceTest, ConcurrentCountChangesAreExactAndStopAtZero) {
    const auto inParallel = [](const std::function<void()>& work) {
        std::vector<std::jthread> threads(8);
        for (auto& thread : threads)
            thread = std::jthread(work);
    };
    inParallel([] {
        for (int i = 0; i < 10000; ++i) {
            KVLErrorService::incrementLoadCount();
            KVLErrorService::decrementLoadCount();
        }
        KVLErrorService::incrementLoadCount();
    });
    EXPECT_EQ(KVLErrorService::incrementLoadCount(), 9);
    for (int i = 0; i < 991; ++i)
        KVLErrorService::incrementLoadCount();
    inParallel([] {
        for (int i = 0; i < 250; ++i)
            KVLErrorService::decrementLoadCount();
    });
    EXPECT_EQ(KVLErrorService::incrementLoadCount(), 1);
    EXPECT_EQ(KVLErrorService::decrementLoadCount(), 0);
}

}  // namespace
