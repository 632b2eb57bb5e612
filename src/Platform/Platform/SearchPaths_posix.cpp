#include "Platform/SearchPaths.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace platform {

namespace {

// A field of a password-database entry, looked up by lookup (getpwuid_r or getpwnam_r bound
// to its key); null when there is no entry.
template <typename Lookup>
std::optional<std::string> passwordEntryField(Lookup lookup, char* passwd::*field) {
    const long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    if (lookup(&entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr || found->*field == nullptr) {
        return std::nullopt;
    }
    return std::string(found->*field);
}

std::optional<std::string> effectiveUserField(char* passwd::*field) {
    const uid_t uid = ::geteuid();
    return passwordEntryField([uid](passwd* entry, char* buffer, std::size_t size,
                                    passwd** found) { return ::getpwuid_r(uid, entry, buffer, size, found); },
                              field);
}

}  // namespace

std::string SearchPaths::userName() {
    if (auto name = effectiveUserField(&passwd::pw_name)) {
        return *name;
    }
    const char* user = std::getenv("USER");
    return user != nullptr ? user : "";
}

std::string SearchPaths::passwordDatabaseHome() { return effectiveUserField(&passwd::pw_dir).value_or("/"); }

std::optional<std::string> SearchPaths::homeOfUser(std::string_view userName) {
    const std::string name(userName);
    return passwordEntryField(
        [&name](passwd* entry, char* buffer, std::size_t size, passwd** found) {
            return ::getpwnam_r(name.c_str(), entry, buffer, size, found);
        },
        &passwd::pw_dir);
}

}  // namespace platform
