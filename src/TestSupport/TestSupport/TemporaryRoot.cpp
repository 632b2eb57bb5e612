#include "TestSupport/TemporaryRoot.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace kvltest {

namespace fs = std::filesystem;

TemporaryRootTest::TemporaryRootTest() {
    std::string pattern = (fs::temp_directory_path() / "kvl-root-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        ADD_FAILURE() << "cannot create a temporary root from " << pattern;
        // Never let a test run against the real machine.
        std::abort();
    }
    root_ = fs::canonical(pattern).string();
    layout_ = platform::Layout::underRoot(root_, std::nullopt, root_ + "/tmp");
    fs::create_directories(layout_.home);
    fs::create_directories(layout_.temporaryDirectory);
    previous_ = platform::Layout::exchange(layout_);
}

TemporaryRootTest::~TemporaryRootTest() {
    platform::Layout::set(previous_);
    std::error_code ignored;
    // Tests may leave folders without write permission behind; open them before removing.
    for (auto it = fs::recursive_directory_iterator(root_, ignored);
         !ignored && it != fs::recursive_directory_iterator(); it.increment(ignored)) {
        std::error_code entryFailure;
        if (it->is_directory(entryFailure) && !it->is_symlink(entryFailure)) {
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, entryFailure);
        }
    }
    fs::remove_all(root_, ignored);
}

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

}  // namespace kvltest
