#include <gtest/gtest.h>

#include "ErrorService/Private/KVLError.h"

namespace {

// Answers every lookup with a fixed localized text and appends a fixed English text.
class FixedStringManager : public IKVLStringManager {
public:
    void loadBundleFromFile(const std::optional<std::string>&, const std::optional<std::string>&,
                            IKVLInternalError*) override {}
    std::string getStringForIdArgs(std::int64_t messageId, std::string* fillIn, platform::FormatArgs args) override {
        lastId = messageId;
        if (fillIn != nullptr) {
            fillIn->append(platform::formatStringArgs("English %@", args));
        }
        return platform::formatStringArgs("Localisé %@", args);
    }
    std::string getStringForKeyArgs(std::string_view, std::string*, platform::FormatArgs) override { return {}; }
    std::int64_t lastId = 0;
};

TEST(KVLError, TheStringManagerOrTheGenericMessageFillsDisplayAndEnglishTexts) {
    KVLError error;
    FixedStringManager strings;
    error.populateFromStringManager(&strings, -17006, "developer text", "src/f", 4, "x");
    EXPECT_EQ(strings.lastId, -17006);
    EXPECT_FALSE(error.isSuccess());
    EXPECT_EQ(error.description(), "Code: -17006 Message: Localisé x English: English x Error: developer text");
    error.populateFromStringManager(nullptr, 12, std::nullopt, "src/f", 4);  // both texts the generic message
    EXPECT_EQ(error.description(),
              "Code: 12 Message: Oops...! Something went wrong. English: Oops...! Something went wrong. Error: (null)");
}

TEST(KVLError, DisplayPopulateCopyAndReset) {
    KVLError error;
    error.populateWithDisplayMessage("Shown", "Developer", 7, "src/g", 8);
    EXPECT_EQ(error.description(), "Code: 7 Message: Shown English: Developer Error: Developer");
    KVLError copy;
    copy.populateFromError(&error);
    EXPECT_EQ(copy.description(), error.description());
    EXPECT_EQ(copy.getFileName(), "src/g");
    EXPECT_EQ(copy.getLineNo(), 8);
    error.reset();
    EXPECT_EQ(error.description(), "Code: 1 Message: (null) English: (null) Error: (null)");
    EXPECT_EQ(copy.getDisplayMessage(), "Shown");
}

}  // namespace
