#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "Platform/Layout.h"
#include "TestSupport/TemporaryFolder.h"

namespace kvltest {

// Base of every test that touches the file system: each test gets a fresh temporary root
// (a TemporaryFolder) and the platform layout points at it (root, home
// "<root>/Users/<user name>", temporary folder "<root>/tmp/"; the home and temporary folders
// exist). Afterwards the previous layout comes back and the root goes with everything in it.
//
// The work happens in the constructor and destructor, so a derived fixture may override
// SetUp and TearDown without calling these.
class TemporaryRootTest : public ::testing::Test {
protected:
    TemporaryRootTest();
    ~TemporaryRootTest() override;

    // Absolute, without symbolic links, without a trailing slash.
    const std::string& root() const { return root_; }
    const std::string& home() const { return layout_.home; }
    // An absolute path stays as it is; a relative one is taken under the root.
    std::string path(std::string_view relativeOrAbsolute) const;

    // Writes text to a file (relative to the root or absolute), creating its folders.
    void writeFile(std::string_view path, std::string_view text) const;
    // The whole file; "" when it cannot be read (the test then fails with a message).
    std::string readFile(std::string_view path) const;
    // Writes the bundle's Contents/Info.plist with the identifier and the other entries (XML
    // keys and values); answers the bundle's absolute path.
    std::string writeBundle(std::string_view bundle, std::string_view identifier, std::string_view entries = "") const;

private:
    TemporaryFolder folder_;
    std::string root_;
    platform::Layout layout_;
    platform::Layout previous_;
};

}  // namespace kvltest
