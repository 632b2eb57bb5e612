#include "ErrorService/Private/KVLError.h"

#include "Platform/Format.h"

namespace {
constexpr const char* kGenericMessage = "Oops...! Something went wrong.";
}

void KVLError::store(Fields fields) {
    std::lock_guard lock(mutex_);
    fields_ = std::move(fields);
    mDescriptionString_.reset();
}

void KVLError::populateWithDisplayMessage(const std::optional<std::string>& displayMessage,
                                          const std::optional<std::string>& errorMessage, std::int64_t code,
                                          const std::optional<std::string>& file, std::int64_t line) {
    store({errorMessage, errorMessage, displayMessage, code, line, file, false});
}

void KVLError::populateFromStringManagerArgs(IKVLStringManager* stringManager, std::int64_t code,
                                             const std::optional<std::string>& errorMessage,
                                             const std::optional<std::string>& file, std::int64_t line,
                                             platform::FormatArgs args) {
    std::string displayMessage = kGenericMessage;
    std::string englishMessage = kGenericMessage;
    if (stringManager != nullptr) {
        englishMessage.clear();  // the fill-in string receives the English text
        displayMessage = stringManager->getStringForIdArgs(code, &englishMessage, args);
    }
    store({errorMessage, englishMessage, displayMessage, code, line, file, false});
}

void KVLError::populateFromError(const IKVLError* other) {
    if (other == nullptr || other == this) {
        return;
    }
    store({other->getErrorMessage(), other->getDefaultLangMessage(), other->getDisplayMessage(), other->getErrorCode(),
           other->getLineNo(), other->getFileName(), other->isSuccess()});
}

std::optional<std::string> KVLError::getErrorMessage() const {
    std::lock_guard lock(mutex_);
    return fields_.mErrorMessage;
}

std::optional<std::string> KVLError::getDefaultLangMessage() const {
    std::lock_guard lock(mutex_);
    return fields_.mDefaultLangMessage;
}

std::optional<std::string> KVLError::getDisplayMessage() const {
    std::lock_guard lock(mutex_);
    return fields_.mDisplayMessage;
}

std::int64_t KVLError::getErrorCode() const {
    std::lock_guard lock(mutex_);
    return fields_.mErrorCode;
}

std::optional<std::string> KVLError::getFileName() const {
    std::lock_guard lock(mutex_);
    return fields_.mInFile;
}

std::int64_t KVLError::getLineNo() const {
    std::lock_guard lock(mutex_);
    return fields_.mAtLine;
}

bool KVLError::isSuccess() const {
    std::lock_guard lock(mutex_);
    return fields_.mbSuccess;
}

void KVLError::reset() { store(Fields{}); }

std::string KVLError::description() const {
    std::lock_guard lock(mutex_);
    if (!mDescriptionString_) {
        mDescriptionString_ =
            platform::formatString("Code: %ld Message: %@ English: %@ Error: %@", fields_.mErrorCode,
                                   fields_.mDisplayMessage, fields_.mDefaultLangMessage, fields_.mErrorMessage);
    }
    return *mDescriptionString_;
}
