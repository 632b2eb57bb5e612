#include "ErrorService/Private/KVLStringManager.h"

#include "ErrorService/KVLErrorCodes.h"
#include "Platform/Console.h"
#include "Platform/Format.h"
#include "Platform/SourcePath.h"

namespace {

// Fills the record (when there is one) with an internal failure of this file.
void populate(IKVLInternalError* error, const std::string& message, std::int64_t code, std::int64_t line) {
    if (error != nullptr) {
        error->populateWithErrorMessage(message, code, KVLInternalErrorTypeInternal, std::string(KVL_SOURCE_PATH), line,
                                        std::nullopt);
    }
}

// The language folder "<id>.lproj" of the bundle, opened as a bundle, with its path (null
// when there is no such folder).
std::pair<std::shared_ptr<platform::Bundle>, std::optional<std::string>> openLanguageBundle(
    const platform::Bundle& bundle, const std::optional<std::string>& languageId) {
    std::optional<std::string> path = bundle.pathForResource(languageId.value_or(""), "lproj");
    std::shared_ptr<platform::Bundle> language = path ? platform::Bundle::bundleWithPath(*path) : nullptr;
    return {std::move(language), std::move(path)};
}

}  // namespace

KVLStringManager::KVLStringManager(std::optional<std::string> defaultLanguageId,
                                   std::optional<std::string> localeLanguageId)
    : mLocaleLanguageCode_(std::move(localeLanguageId)), mDefaultLanguageCode_(std::move(defaultLanguageId)) {}

void KVLStringManager::loadBundleFromFile(const std::optional<std::string>& bundlePath,
                                          const std::optional<std::string>& stringsFile, IKVLInternalError* error) {
    setMMainBundle(bundlePath ? platform::Bundle::bundleWithPath(*bundlePath) : nullptr);
    const std::shared_ptr<platform::Bundle> mainBundle = mMainBundle();
    if (!mainBundle) {
        populate(error, "Unable to load Main Bundle", KVLErrorCodeMainBundleNotLoaded, __LINE__);
        platform::Console::log("Kenvault :: Unable to load Main Bundle");
        return;
    }

    const std::optional<std::string> defaultCode = mDefaultLanguageCode();
    auto [defaultBundle, defaultPath] = openLanguageBundle(*mainBundle, defaultCode);
    setMDefaultLangBundle(defaultBundle);
    if (!defaultBundle) {
        populate(error, platform::formatString("Unable to load Default Bundle at path %@", defaultPath),
                 KVLErrorCodeDefaultBundleNotLoaded, __LINE__);
        platform::Console::logFormat("Kenvault :: Unable to load Default Bundle at path: %@", defaultPath);
        return;
    }

    const std::optional<std::string> localeCode = mLocaleLanguageCode();
    if (localeCode && localeCode == defaultCode) {
        setMLocaleLangBundle(defaultBundle);
    } else {
        std::shared_ptr<platform::Bundle> localeBundle = openLanguageBundle(*mainBundle, localeCode).first;
        if (!localeBundle) {
            // Not a failure: every lookup then uses the default language.
            platform::Console::log("Kenvault :: Unable to load Locale Bundle.");
            localeBundle = defaultBundle;
        }
        setMLocaleLangBundle(std::move(localeBundle));
    }

    if (!stringsFile) {
        setMStringsFileName(std::string(kDefaultStringsFileName));
        return;
    }
    if (!mainBundle->pathForResource(*stringsFile, "strings")) {
        populate(error, "Unable to find given Strings File", KVLErrorCodeStringsFileNotFound, __LINE__);
        platform::Console::log("Kenvault :: Unable to find given Strings File");
        return;
    }
    setMStringsFileName(stringsFile);
}

std::string KVLStringManager::getStringForIdArgs(std::int64_t messageId, std::string* fillIn,
                                                 platform::FormatArgs args) {
    return getStringForKeyArgs(platform::formatString("%ld", messageId), fillIn, args);
}

std::string KVLStringManager::getStringForKeyArgs(std::string_view key, std::string* fillIn,
                                                  platform::FormatArgs args) {
    // Identity, not the language ids, tells whether there is a second language.
    if (mLocaleLangBundle() == mDefaultLangBundle()) {
        return getEnglishMessageForKey(key, fillIn, args);
    }
    return getLocalizedMessageForKey(key, fillIn, args);
}

std::string KVLStringManager::getLocalizedMessageForKey(std::string_view key, std::string* fillIn,
                                                        platform::FormatArgs args) {
    const std::optional<std::string> text = getLocalizedString(key, mStringsFileName(), mLocaleLangBundle());
    if (!text) {
        return getEnglishMessageForKey(key, fillIn, args);
    }
    std::string message = platform::formatStringArgs(*text, args);
    if (fillIn != nullptr) {
        // The argument list reads from its start again for the English text.
        getEnglishMessageForKey(key, fillIn, args);
    }
    return message;
}

std::string KVLStringManager::getEnglishMessageForKey(std::string_view key, std::string* fillIn,
                                                      platform::FormatArgs args) {
    const std::optional<std::string> text = getLocalizedString(key, mStringsFileName(), mDefaultLangBundle());
    std::string message = text ? platform::formatStringArgs(*text, args) : std::string(kLanguagePackMessage);
    if (fillIn != nullptr) {
        fillIn->append(message);
    }
    return message;
}

std::optional<std::string> KVLStringManager::getLocalizedString(std::string_view key,
                                                                const std::optional<std::string>& file,
                                                                const std::shared_ptr<platform::Bundle>& bundle) const {
    if (!bundle) {
        return std::nullopt;
    }
    std::string text = bundle->localizedStringForKey(key, "", file);
    if (text == key) {
        return std::nullopt;
    }
    return text;
}

std::optional<std::string> KVLStringManager::mLocaleLanguageCode() const {
    const std::lock_guard lock(mStringsMutex_);
    return mLocaleLanguageCode_;
}

void KVLStringManager::setMLocaleLanguageCode(std::optional<std::string> code) {
    const std::lock_guard lock(mStringsMutex_);
    mLocaleLanguageCode_ = std::move(code);
}

std::optional<std::string> KVLStringManager::mDefaultLanguageCode() const {
    const std::lock_guard lock(mStringsMutex_);
    return mDefaultLanguageCode_;
}

void KVLStringManager::setMDefaultLanguageCode(std::optional<std::string> code) {
    const std::lock_guard lock(mStringsMutex_);
    mDefaultLanguageCode_ = std::move(code);
}

std::optional<std::string> KVLStringManager::mStringsFileName() const {
    const std::lock_guard lock(mStringsMutex_);
    return mStringsFileName_;
}

void KVLStringManager::setMStringsFileName(std::optional<std::string> name) {
    const std::lock_guard lock(mStringsMutex_);
    mStringsFileName_ = std::move(name);
}
