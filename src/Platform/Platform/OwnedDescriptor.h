#pragma once

namespace platform {

// Owns an open descriptor and closes it on every way out, keeping errno, so that a failure
// path can close what it opened and still report why it failed.
class OwnedDescriptor {
public:
    explicit OwnedDescriptor(int descriptor = -1) : descriptor_(descriptor) {}
    ~OwnedDescriptor() { reset(); }
    OwnedDescriptor(OwnedDescriptor&& other) noexcept : descriptor_(other.release()) {}
    OwnedDescriptor& operator=(OwnedDescriptor&& other) noexcept {
        reset(other.release());
        return *this;
    }
    OwnedDescriptor(const OwnedDescriptor&) = delete;
    OwnedDescriptor& operator=(const OwnedDescriptor&) = delete;

    int get() const { return descriptor_; }
    // Gives the descriptor up to the caller.
    int release();
    // Closes the held descriptor (keeping errno) and holds the given one.
    void reset(int descriptor = -1);
    // Closes now and answers close's errno, or 0: for a file whose close may report a failed
    // write.
    int close();

private:
    int descriptor_;
};

}  // namespace platform
