#include "Platform/OwnedDescriptor.h"

#include <unistd.h>

#include <cerrno>
#include <utility>

namespace platform {

int OwnedDescriptor::release() { return std::exchange(descriptor_, -1); }

void OwnedDescriptor::reset(int descriptor) {
    if (descriptor_ >= 0) {
        const int saved = errno;
        ::close(descriptor_);
        errno = saved;
    }
    descriptor_ = descriptor;
}

int OwnedDescriptor::close() { return ::close(release()) == 0 ? 0 : errno; }

}  // namespace platform
