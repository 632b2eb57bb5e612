#include "Platform/Bundle.h"

#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <climits>

namespace platform {

std::optional<std::string> Bundle::executablePath() {
    char buffer[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof buffer);
    if (length <= 0 || static_cast<std::size_t>(length) >= sizeof buffer) {
        return std::nullopt;
    }
    return std::string(buffer, static_cast<std::size_t>(length));
}

std::optional<std::string> Bundle::modulePathForAddress(const void* address) {
    Dl_info info{};
    link_map* module = nullptr;
    if (address == nullptr || ::dladdr1(address, &info, reinterpret_cast<void**>(&module), RTLD_DL_LINKMAP) == 0 ||
        module == nullptr) {
        return std::nullopt;
    }
    // The main program's entry has no name; its path is the executable's.
    if (module->l_name == nullptr || module->l_name[0] == '\0') {
        return executablePath();
    }
    // A module without a file of its own (the vDSO) has no bundle.
    if (module->l_name[0] != '/') {
        return std::nullopt;
    }
    return std::string(module->l_name);
}

}  // namespace platform
