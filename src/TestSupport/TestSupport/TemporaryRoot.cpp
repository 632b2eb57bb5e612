#include "TestSupport/TemporaryRoot.h"

#include <filesystem>
#include <fstream>
#include <iterator>

namespace kvltest {

namespace fs = std::filesystem;

TemporaryRootTest::TemporaryRootTest()
    : folder_("kvl-root"),
      root_(folder_.path()),
      layout_(platform::Layout::underRoot(root_, std::nullopt, root_ + "/tmp")) {
    fs::create_directories(layout_.home);
    fs::create_directories(layout_.temporaryDirectory);
    previous_ = platform::Layout::exchange(layout_);
}

TemporaryRootTest::~TemporaryRootTest() { platform::Layout::set(previous_); }

std::string TemporaryRootTest::path(std::string_view relativeOrAbsolute) const {
    if (!relativeOrAbsolute.empty() && relativeOrAbsolute.front() == '/') {
        return std::string(relativeOrAbsolute);
    }
    return root_ + "/" + std::string(relativeOrAbsolute);
}

void TemporaryRootTest::writeFile(std::string_view file, std::string_view text) const {
    const fs::path target = path(file);
    fs::create_directories(target.parent_path());
    std::ofstream out(target, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    if (!out) {
        ADD_FAILURE() << "cannot write " << target;
    }
}

std::string TemporaryRootTest::readFile(std::string_view file) const {
    std::ifstream in(path(file), std::ios::binary);
    if (!in) {
        ADD_FAILURE() << "cannot read " << path(file);
        return {};
    }
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string TemporaryRootTest::writeBundle(std::string_view bundle, std::string_view identifier,
                                           std::string_view entries) const {
    writeFile(path(bundle) + "/Contents/Info.plist",
              "<plist version=\"1.0\"><dict><key>CFBundleIdentifier</key><string>" + std::string(identifier) +
                  "</string>" + std::string(entries) + "</dict></plist>");
    return path(bundle);
}

}  // namespace kvltest
