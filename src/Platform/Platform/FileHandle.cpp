#include "Platform/FileHandle.h"

#include <cerrno>
#include <limits>
#include <system_error>

namespace platform {

FileHandleException::FileHandleException(const std::string& operation, int posixError)
    : Exception(kFileHandleOperationException, operation + ": " + std::generic_category().message(posixError)),
      posixError_(posixError) {}

std::vector<std::uint8_t> FileHandle::readDataToEndOfFile() {
    auto data = readDataOfLength(std::numeric_limits<std::size_t>::max());
    if (!data) {
        throw FileHandleException("readDataToEndOfFile", ENOMEM);
    }
    return std::move(*data);
}

}  // namespace platform
