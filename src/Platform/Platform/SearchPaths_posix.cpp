#include "Platform/SearchPaths.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <vector>

namespace platform {

namespace {

// A field of the effective user's password-database entry; null when there is no entry.
template <typename Field>
std::optional<std::string> passwordEntryField(Field field) {
    const long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr ||
        found->*field == nullptr) {
        return std::nullopt;
    }
    return std::string(found->*field);
}

}  // namespace

std::string SearchPaths::userName() {
    if (auto name = passwordEntryField(&passwd::pw_name)) {
        return *name;
    }
    const char* user = std::getenv("USER");
    return user != nullptr ? user : "";
}

std::string SearchPaths::passwordDatabaseHome() { return passwordEntryField(&passwd::pw_dir).value_or("/"); }

}  // namespace platform
