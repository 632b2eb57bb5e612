#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "ErrorService/IKVLStringManager.h"
#include "Platform/Bundle.h"

// Messages of a bundle's strings tables in two languages: the locale language, and the
// default language whose text is the English text and the fallback. Each language is the
// bundle's language folder ("<id>.lproj") opened as a bundle; when the locale has no folder
// of its own, or its id is the default id, both are the very same bundle object and every
// lookup is an English lookup.
class KVLStringManager : public IKVLStringManager {
public:
    // The table used when the load names none; it need not exist.
    static constexpr std::string_view kDefaultStringsFileName = "KVLStringResources";
    // What a key missing in both languages yields (never formatted).
    static constexpr std::string_view kLanguagePackMessage =
        "You do not have latest Language Pack, please contact Orvane for latest Language Pack";

    KVLStringManager(std::optional<std::string> defaultLanguageId, std::optional<std::string> localeLanguageId);

    // Opens the bundle, its default and locale language folders and checks the table; a
    // failure fills the record, writes a console line and ends the load.
    void loadBundleFromFile(const std::optional<std::string>& bundlePath, const std::optional<std::string>& stringsFile,
                            IKVLInternalError* error) override;

    // The key of an id is its decimal text.
    std::string getStringForIdArgs(std::int64_t messageId, std::string* fillIn, platform::FormatArgs args) override;
    std::string getStringForKeyArgs(std::string_view key, std::string* fillIn, platform::FormatArgs args) override;

    // The locale text filled with the arguments (the English lookup when the locale table
    // lacks the key); a fill-in string receives the English message.
    std::string getLocalizedMessageForKey(std::string_view key, std::string* fillIn, platform::FormatArgs args);
    // The default-language text filled with the arguments, or the language-pack message;
    // appended to the fill-in string as well when one is given.
    std::string getEnglishMessageForKey(std::string_view key, std::string* fillIn, platform::FormatArgs args);
    // The key's text in the table of the bundle; null when missing, or when the text is the
    // key itself.
    std::optional<std::string> getLocalizedString(std::string_view key, const std::optional<std::string>& file,
                                                  const std::shared_ptr<platform::Bundle>& bundle) const;

    std::shared_ptr<platform::Bundle> mMainBundle() const { return mMainBundle_.load(); }
    void setMMainBundle(std::shared_ptr<platform::Bundle> bundle) { mMainBundle_.store(std::move(bundle)); }
    std::shared_ptr<platform::Bundle> mDefaultLangBundle() const { return mDefaultLangBundle_.load(); }
    void setMDefaultLangBundle(std::shared_ptr<platform::Bundle> bundle) {
        mDefaultLangBundle_.store(std::move(bundle));
    }
    std::shared_ptr<platform::Bundle> mLocaleLangBundle() const { return mLocaleLangBundle_.load(); }
    void setMLocaleLangBundle(std::shared_ptr<platform::Bundle> bundle) { mLocaleLangBundle_.store(std::move(bundle)); }
    std::optional<std::string> mLocaleLanguageCode() const;
    void setMLocaleLanguageCode(std::optional<std::string> code);
    std::optional<std::string> mDefaultLanguageCode() const;
    void setMDefaultLanguageCode(std::optional<std::string> code);
    std::optional<std::string> mStringsFileName() const;
    void setMStringsFileName(std::optional<std::string> name);

private:
    std::atomic<std::shared_ptr<platform::Bundle>> mMainBundle_;
    std::atomic<std::shared_ptr<platform::Bundle>> mDefaultLangBundle_;
    std::atomic<std::shared_ptr<platform::Bundle>> mLocaleLangBundle_;
    mutable std::mutex mStringsMutex_;  // guards the three strings below
    std::optional<std::string> mLocaleLanguageCode_;
    std::optional<std::string> mDefaultLanguageCode_;
    std::optional<std::string> mStringsFileName_;
};
