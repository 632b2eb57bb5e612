#pragma once

#include <string>

#include "ErrorService/IKVLInternalError.h"
#include "Platform/PlistValue.h"
#include "Platform/URL.h"

// The host's object that does what needs administrator rights. Shared by host and plug-in:
// the host implements it, the plug-in only calls it.
//
// Every call is synchronous: when it returns the work is done, or the record (a success
// record when passed; may be null) reports the failure through isSuccess(). The plug-in
// reads only the record; the boolean results are for the host's own use.
class IKVLAdminPrivilegeProvider {
public:
    virtual ~IKVLAdminPrivilegeProvider() = default;

    // The destination becomes a copy of the source; with createIntermediateDirectories the
    // missing parent folders are made, with replaceExisting an existing destination is
    // replaced.
    virtual bool copyFile(const platform::URL& source, const platform::URL& destination,
                          bool createIntermediateDirectories, bool replaceExisting, IKVLInternalError* error) = 0;
    // Applies the attributes (NSFilePosixPermissions, NSFileOwnerAccountName,
    // NSFileGroupOwnerAccountName) to the item at path.
    virtual bool setAttributes(const platform::PlistDictionary& attributes, const std::string& path,
                               IKVLInternalError* error) = 0;
    // The item at the URL, a file or a folder with everything in it, no longer exists.
    virtual bool removeFileAt(const platform::URL& url, IKVLInternalError* error) = 0;
    // Runs the shell command line to its end with administrator rights.
    virtual bool launchCommand(const std::string& commandLine, IKVLInternalError* error) = 0;
};
