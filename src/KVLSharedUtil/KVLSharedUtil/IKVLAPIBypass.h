#pragma once

// An object the embedding process may install to be told, on the calling thread, when the
// shared libraries' own file-system work begins and ends. Calls nest per thread.
class IKVLAPIBypass {
public:
    virtual ~IKVLAPIBypass() = default;
    virtual void enter() = 0;
    virtual void exit() = 0;
};
