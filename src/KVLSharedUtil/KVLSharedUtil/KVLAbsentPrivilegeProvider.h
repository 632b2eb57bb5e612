#pragma once

#include <memory>

#include "KVLSharedUtil/IKVLAdminPrivilegeProvider.h"

// Stands in where no provider was given: every call does nothing, answers false and leaves
// the record as it was, as a message to a missing object does. The helpers hold one instead
// of a null provider, so a caller that passed none gets no work done rather than a crash.
class KVLAbsentPrivilegeProvider : public IKVLAdminPrivilegeProvider {
public:
    // The provider given, or an absent one in its place.
    static std::shared_ptr<IKVLAdminPrivilegeProvider> orAbsent(std::shared_ptr<IKVLAdminPrivilegeProvider> provider);

    bool copyFile(const platform::URL& source, const platform::URL& destination, bool createIntermediateDirectories,
                  bool replaceExisting, IKVLInternalError* error) override;
    bool setAttributes(const platform::PlistDictionary& attributes, const std::string& path,
                       IKVLInternalError* error) override;
    bool removeFileAt(const platform::URL& url, IKVLInternalError* error) override;
    bool launchCommand(const std::string& commandLine, IKVLInternalError* error) override;
};
