#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

#include "ErrorService/IKVLError.h"

// The user-facing error record: display text, its English text and the developer message.
class KVLError : public IKVLError {
public:
    KVLError() = default;

    void populateWithDisplayMessage(const std::optional<std::string>& displayMessage,
                                    const std::optional<std::string>& errorMessage, std::int64_t code,
                                    const std::optional<std::string>& file, std::int64_t line) override;
    void populateFromStringManagerArgs(IKVLStringManager* stringManager, std::int64_t code,
                                       const std::optional<std::string>& errorMessage,
                                       const std::optional<std::string>& file, std::int64_t line,
                                       platform::FormatArgs args) override;
    void populateFromError(const IKVLError* other) override;

    std::optional<std::string> getErrorMessage() const override;
    std::optional<std::string> getDefaultLangMessage() const override;
    std::optional<std::string> getDisplayMessage() const override;
    std::int64_t getErrorCode() const override;
    std::optional<std::string> getFileName() const override;
    std::int64_t getLineNo() const override;
    bool isSuccess() const override;
    void reset() override;
    std::string description() const override;

private:
    struct Fields {
        std::optional<std::string> mErrorMessage;
        std::optional<std::string> mDefaultLangMessage;
        std::optional<std::string> mDisplayMessage;
        std::int64_t mErrorCode = KVLErrorCodeNone;
        std::int64_t mAtLine = 0;
        std::optional<std::string> mInFile;
        bool mbSuccess = true;
    };

    void store(Fields fields);

    mutable std::mutex mutex_;
    Fields fields_;
    mutable std::optional<std::string> mDescriptionString_;
};
