#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <set>
#include <string>

#include "KVLSharedUtil/IKVLAdminPrivilegeProvider.h"
#include "LoggerService/IKVLLogger.h"
#include "Platform/ConfinedRoot.h"

// The host's privilege provider. Every path it is handed must lie inside the layout root,
// and it reaches every path only through the root's descriptor (see ConfinedRoot): anything
// outside, or leading out through a link, is refused with a filled record (code EPERM). Both
// ends of a copy are confined, and a replacing copy leaves the old item when it fails.
// Permissions are always applied, owner and group only when running as root (a missing
// "wheel" group is group 0). A command that fails reports what it wrote to standard output
// and standard error. Each call is logged at the info level before it is carried out, and
// each failure at the error level, since the plug-in passes over some failures without a
// word. For testing every failure path, chosen calls can be made to fail.
class HostPrivilegeProvider : public IKVLAdminPrivilegeProvider {
public:
    enum class Operation { Copy, SetAttributes, Remove, Launch };

    HostPrivilegeProvider(std::shared_ptr<const platform::ConfinedRoot> root, std::shared_ptr<IKVLLogger> logger);

    // Makes the n-th call (from 1) of the operation fail; n = 0 fails every call.
    void failCall(Operation operation, std::size_t n);
    // "copy", "attributes", "remove" or "launch"; false for any other name.
    static bool operationNamed(const std::string& name, Operation* operation);

    bool copyFile(const platform::URL& source, const platform::URL& destination, bool createIntermediateDirectories,
                  bool replaceExisting, IKVLInternalError* error) override;
    bool setAttributes(const platform::PlistDictionary& attributes, const std::string& path,
                       IKVLInternalError* error) override;
    bool removeFileAt(const platform::URL& url, IKVLInternalError* error) override;
    bool launchCommand(const std::string& commandLine, IKVLInternalError* error) override;

private:
    bool begin(Operation operation, const std::string& description, IKVLInternalError* error);
    // Fills the record, logs the failure at the error level, answers false.
    bool fail(IKVLInternalError* error, const std::string& message, std::int64_t code) const;
    // The same for a platform error: EPERM when the path lies or leads outside the root.
    bool fail(IKVLInternalError* error, const platform::Error& failure) const;

    std::shared_ptr<const platform::ConfinedRoot> root_;
    std::shared_ptr<IKVLLogger> logger_;
    std::map<Operation, std::size_t> counts_;
    std::map<Operation, std::set<std::size_t>> failures_;
};
