#pragma once

#include <memory>

#include "ErrorService/IKVLError.h"
#include "ErrorService/IKVLInternalError.h"

// Creates error records; each new record is a success record that belongs to its caller.
class IKVLErrorManager {
public:
    virtual ~IKVLErrorManager() = default;

    virtual std::unique_ptr<IKVLError> createError() = 0;
    virtual std::unique_ptr<IKVLInternalError> createInternalError() = 0;
};
