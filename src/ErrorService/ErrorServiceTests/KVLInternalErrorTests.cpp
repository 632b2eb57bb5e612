#include <gtest/gtest.h>

#include <functional>
#include <tuple>

#include "ErrorService/Private/KVLError.h"
#include "ErrorService/Private/KVLInternalError.h"

namespace {

TEST(KVLInternalError, FreshAndResetRecordsAreSuccessRecords) {
    KVLInternalError record;
    for (int pass = 0; pass < 2; ++pass) {
        EXPECT_TRUE(record.isSuccess());
        EXPECT_EQ(record.getFileName(), std::nullopt);
        EXPECT_EQ(record.getLineNo(), 0);
        EXPECT_EQ(record.description(), "Code: 1, Type: 0, Message: (null), Context: (null)");
        record.populateWithErrorMessage("m", -10004, KVLInternalErrorTypeInternal, "src/x/File", 12, std::nullopt);
        record.reset();
    }
}

struct PopulateForm {
    std::function<void(KVLInternalError&, const std::optional<platform::PlistDictionary>&)> populate;
    std::string description;
    std::int64_t code;
    std::int32_t type;
};

TEST(KVLInternalError, EachPopulateFormSetsMessageCodeTypePlaceAndContext) {
    const platform::Error cocoa{std::string(platform::kCocoaErrorDomain), 516, "“a” exists.", nullptr};
    const platform::Error mine{"com.example.Mine", -3, "Mine failed.", nullptr};
    const PopulateForm forms[] = {
        {[](auto& r, const auto& c) { r.populateWithErrorMessage("Taken", -10004, 1, "src/a/F", 77, c); }, "Taken",
         -10004, KVLInternalErrorTypeInternal},
        {[](auto& r, const auto& c) { r.populateWithErrorno(2, "Copy failed", "src/a/F", 77, c); },
         "Copy failed - No such file or directory", 2, KVLInternalErrorTypePosix},
        {[](auto& r, const auto& c) { r.populateWithErrorno(2, std::nullopt, "src/a/F", 77, c); },
         "No such file or directory", 2, KVLInternalErrorTypePosix},
        {[](auto& r, const auto& c) { r.populateWithErrorno(99999, "M", "src/a/F", 77, c); },
         "M - System Error Message Not Found For Error Number: 99999", 99999, KVLInternalErrorTypePosix},
        {[](auto& r, const auto& c) { r.populateWithHttpStatusCode(404, std::nullopt, "src/a/F", 77, c); }, "not found",
         404, KVLInternalErrorTypeHttp},
        {[](auto& r, const auto& c) { r.populateWithHttpStatusCode(200, "Download", "src/a/F", 77, c); },
         "Download - no error", 200, KVLInternalErrorTypeHttp},
        {[&](auto& r, const auto& c) { r.populateWithNSError(cocoa, std::nullopt, "src/a/F", 77, c); }, "“a” exists.",
         516, KVLInternalErrorTypeCocoa},
        {[&](auto& r, const auto& c) { r.populateWithNSError(mine, "Step", "src/a/F", 77, c); }, "Step - Mine failed.",
         -3, KVLInternalErrorTypeOther},
    };
    const platform::PlistDictionary context{{"Path", platform::PlistValue("/tmp/x")}};
    for (const PopulateForm& form : forms) {
        KVLInternalError record;
        form.populate(record, context);
        EXPECT_FALSE(record.isSuccess()) << form.description;
        EXPECT_EQ(record.getDescription(), form.description);
        EXPECT_EQ(std::tuple(record.getErrorCode(), record.getErrorType(), record.getFileName(), record.getLineNo()),
                  std::tuple(form.code, form.type, std::optional<std::string>("src/a/F"), std::int64_t{77}))
            << form.description;
        EXPECT_EQ(record.getContext(), context) << form.description;
        form.populate(record, std::nullopt);  // every populate starts from a reset record
        EXPECT_EQ(record.getContext(), std::nullopt) << form.description;
    }
    const std::pair<const char*, std::int32_t> domains[] = {{"NSCocoaErrorDomain", 7},    {"NSPOSIXErrorDomain", 3},
                                                            {"NSOSStatusErrorDomain", 6}, {"NSMachErrorDomain", 8},
                                                            {"com.example.Mine", 2},      {"", 2}};
    for (const auto& [domain, type] : domains) {
        EXPECT_EQ(KVLInternalError::getNSErrorSubTypeFrom(domain), type) << domain;
    }
}

TEST(KVLInternalError, TheDescriptionShowsTheContextAndACopyTakesOverEveryField) {
    KVLInternalError source;
    source.populateWithErrorMessage("first", 5, 1, "src/a", 9,
                                    platform::PlistDictionary{{"Path", platform::PlistValue("/tmp/a b")}});
    KVLInternalError copy;
    copy.populateFromError(&source);
    source.reset();  // the copy is independent
    EXPECT_EQ(copy.description(), "Code: 5, Type: 1, Message: first, Context: {\n    Path = \"/tmp/a b\";\n}");
    EXPECT_EQ(copy.getFileName(), "src/a");
    EXPECT_EQ(copy.getLineNo(), 9);
    copy.populateFromError(&source);  // copying a success record makes a success record
    EXPECT_TRUE(copy.isSuccess());
}

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
