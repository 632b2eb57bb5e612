#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "ErrorService/KVLErrorCodes.h"
#include "KVLSharedUtil/IKVLAdminPrivilegeProvider.h"
#include "Platform/SourcePath.h"

namespace kvltest {

// A privilege provider that does nothing but remember: every call, with its arguments, in
// the order made. It can be told to fail the n-th call of an operation; that call fills the
// record it was given with the chosen message, code and type and answers false.
// Header-only: only binaries that link the error service use it.
class RecordingPrivilegeProvider : public IKVLAdminPrivilegeProvider {
public:
    enum class Operation { CopyFile, SetAttributes, RemoveFileAt, LaunchCommand };

    // One call; only the fields of its operation are set.
    struct Call {
        Operation operation = Operation::CopyFile;
        std::optional<platform::URL> source;       // CopyFile
        std::optional<platform::URL> destination;  // CopyFile; the URL of RemoveFileAt
        bool replaceExisting = false;              // CopyFile
        platform::PlistDictionary attributes;      // SetAttributes
        std::string path;                          // SetAttributes
        std::string commandLine;                   // LaunchCommand
        const IKVLInternalError* record = nullptr;
        // Whether the record was a success record when the call was made.
        bool recordWasSuccess = false;
    };

    struct Failure {
        std::string message;
        std::int64_t code = 0;
        std::int32_t type = KVLInternalErrorTypeOther;
    };

    // Fails the n-th call (counting from 1) of the operation.
    void failCall(Operation operation, std::size_t n, Failure failure) {
        failures_[{operation, n}] = std::move(failure);
    }

    bool copyFile(const platform::URL& source, const platform::URL& destination, bool createIntermediateDirectories,
                  bool replaceExisting, IKVLInternalError* error) override {
        Call call = started(Operation::CopyFile, error);
        call.source = source;
        call.destination = destination;
        call.replaceExisting = replaceExisting;
        return finish(std::move(call), error);
    }

    bool setAttributes(const platform::PlistDictionary& attributes, const std::string& path,
                       IKVLInternalError* error) override {
        Call call = started(Operation::SetAttributes, error);
        call.attributes = attributes;
        call.path = path;
        return finish(std::move(call), error);
    }

    bool removeFileAt(const platform::URL& url, IKVLInternalError* error) override {
        Call call = started(Operation::RemoveFileAt, error);
        call.destination = url;
        return finish(std::move(call), error);
    }

    bool launchCommand(const std::string& commandLine, IKVLInternalError* error) override {
        Call call = started(Operation::LaunchCommand, error);
        call.commandLine = commandLine;
        return finish(std::move(call), error);
    }

    const std::vector<Call>& calls() const { return calls_; }

    std::vector<Call> callsOf(Operation operation) const {
        std::vector<Call> matching;
        for (const Call& call : calls_) {
            if (call.operation == operation) {
                matching.push_back(call);
            }
        }
        return matching;
    }

private:
    static Call started(Operation operation, const IKVLInternalError* error) {
        Call call;
        call.operation = operation;
        call.record = error;
        call.recordWasSuccess = error != nullptr && error->isSuccess();
        return call;
    }

    bool finish(Call call, IKVLInternalError* error) {
        const Operation operation = call.operation;
        calls_.push_back(std::move(call));
        const auto failure = failures_.find({operation, ++counts_[operation]});
        if (failure == failures_.end()) {
            return true;
        }
        if (error != nullptr) {
            error->populateWithErrorMessage(failure->second.message, failure->second.code, failure->second.type,
                                            KVL_SOURCE_PATH, __LINE__, std::nullopt);
        }
        return false;
    }

    std::vector<Call> calls_;
    std::map<Operation, std::size_t> counts_;
    std::map<std::pair<Operation, std::size_t>, Failure> failures_;
};

}  // namespace kvltest
