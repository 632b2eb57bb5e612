#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "ErrorService/KVLErrorCodes.h"
#include "Platform/Error.h"
#include "Platform/PlistValue.h"

// The record a failure travels in: the caller creates it, the failing operation fills it.
// A fresh or reset record is a success record with code 1, line 0 and no strings or context.
class IKVLInternalError {
public:
    virtual ~IKVLInternalError() = default;

    virtual void populateWithErrorMessage(const std::optional<std::string>& message, std::int64_t code,
                                          std::int32_t type, const std::optional<std::string>& file, std::int64_t line,
                                          const std::optional<platform::PlistDictionary>& context) = 0;
    virtual void populateWithNSError(const platform::Error& error, const std::optional<std::string>& message,
                                     const std::optional<std::string>& file, std::int64_t line,
                                     const std::optional<platform::PlistDictionary>& context) = 0;
    virtual void populateWithErrorno(std::int32_t errnum, const std::optional<std::string>& message,
                                     const std::optional<std::string>& file, std::int64_t line,
                                     const std::optional<platform::PlistDictionary>& context) = 0;
    virtual void populateWithHttpStatusCode(std::uint32_t status, const std::optional<std::string>& message,
                                            const std::optional<std::string>& file, std::int64_t line,
                                            const std::optional<platform::PlistDictionary>& context) = 0;
    virtual void populateFromError(const IKVLInternalError* other) = 0;

    virtual std::int64_t getErrorCode() const = 0;
    // The message itself; description() is the formatted text.
    virtual std::optional<std::string> getDescription() const = 0;
    virtual std::int32_t getErrorType() const = 0;
    virtual bool isSuccess() const = 0;
    virtual void reset() = 0;
    virtual std::optional<std::string> getFileName() const = 0;
    virtual std::int64_t getLineNo() const = 0;
    virtual std::optional<platform::PlistDictionary> getContext() const = 0;

    // "Code: %ld, Type: %d, Message: %@, Context: %@", computed once per contents.
    virtual std::string description() const = 0;
};
