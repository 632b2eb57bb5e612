#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "ErrorService/IKVLInternalError.h"

// The internal error record. Every field is read and written under one small lock, so a
// record may be shared between threads; the description is cached until the next change.
class KVLInternalError : public IKVLInternalError {
public:
    KVLInternalError() = default;

    void populateWithErrorMessage(const std::optional<std::string>& message, std::int64_t code, std::int32_t type,
                                  const std::optional<std::string>& file, std::int64_t line,
                                  const std::optional<platform::PlistDictionary>& context) override;
    void populateWithNSError(const platform::Error& error, const std::optional<std::string>& message,
                             const std::optional<std::string>& file, std::int64_t line,
                             const std::optional<platform::PlistDictionary>& context) override;
    void populateWithErrorno(std::int32_t errnum, const std::optional<std::string>& message,
                             const std::optional<std::string>& file, std::int64_t line,
                             const std::optional<platform::PlistDictionary>& context) override;
    void populateWithHttpStatusCode(std::uint32_t status, const std::optional<std::string>& message,
                                    const std::optional<std::string>& file, std::int64_t line,
                                    const std::optional<platform::PlistDictionary>& context) override;
    void populateFromError(const IKVLInternalError* other) override;

    std::int64_t getErrorCode() const override;
    std::optional<std::string> getDescription() const override;
    std::int32_t getErrorType() const override;
    bool isSuccess() const override;
    void reset() override;
    std::optional<std::string> getFileName() const override;
    std::int64_t getLineNo() const override;
    std::optional<platform::PlistDictionary> getContext() const override;
    std::string description() const override;

    // The error type of an error domain: Cocoa 7, POSIX 3, OSStatus 6, Mach 8, any other 2.
    static std::int32_t getNSErrorSubTypeFrom(std::string_view domain);

private:
    struct Fields {
        std::optional<std::string> mErrorMessage;
        std::int64_t mErrorCode = KVLErrorCodeNone;
        std::int32_t mErrorType = KVLInternalErrorTypeNone;
        std::optional<std::string> mInFile;
        std::int64_t mAtLine = 0;
        std::optional<platform::PlistDictionary> mContext;
        bool mbSuccess = true;
    };

    // Replaces every field at once and marks the record as a failure.
    void populate(Fields fields);
    // "<message> - <system text>", or the system text alone when there is no message.
    static std::string joinWithSystemText(const std::optional<std::string>& message, const std::string& systemText);

    mutable std::mutex mutex_;
    Fields fields_;
    mutable std::optional<std::string> mDescriptionString_;
};
