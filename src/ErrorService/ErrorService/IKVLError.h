#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "ErrorService/IKVLStringManager.h"
#include "Platform/Format.h"

// The user-facing error record: a display message, its English text and the developer message.
class IKVLError {
public:
    virtual ~IKVLError() = default;

    virtual void populateWithDisplayMessage(const std::optional<std::string>& displayMessage,
                                            const std::optional<std::string>& errorMessage, std::int64_t code,
                                            const std::optional<std::string>& file, std::int64_t line) = 0;
    virtual void populateFromStringManagerArgs(IKVLStringManager* stringManager, std::int64_t code,
                                               const std::optional<std::string>& errorMessage,
                                               const std::optional<std::string>& file, std::int64_t line,
                                               platform::FormatArgs args) = 0;
    template <typename... Args>
    void populateFromStringManager(IKVLStringManager* stringManager, std::int64_t code,
                                   const std::optional<std::string>& errorMessage,
                                   const std::optional<std::string>& file, std::int64_t line, const Args&... args) {
        populateFromStringManagerArgs(stringManager, code, errorMessage, file, line, platform::FormatArgPack(args...));
    }
    virtual void populateFromError(const IKVLError* other) = 0;

    virtual std::optional<std::string> getErrorMessage() const = 0;
    virtual std::optional<std::string> getDefaultLangMessage() const = 0;
    virtual std::optional<std::string> getDisplayMessage() const = 0;
    virtual std::int64_t getErrorCode() const = 0;
    virtual std::optional<std::string> getFileName() const = 0;
    virtual std::int64_t getLineNo() const = 0;
    virtual bool isSuccess() const = 0;
    virtual void reset() = 0;

    // "Code: %ld Message: %@ English: %@ Error: %@", computed once per contents.
    virtual std::string description() const = 0;
};
