#pragma once

#include <memory>

#include "ErrorService/IKVLErrorManager.h"

// Creates fresh success records; each belongs to its caller.
class KVLErrorManager : public IKVLErrorManager {
public:
    std::unique_ptr<IKVLError> createError() override;
    std::unique_ptr<IKVLInternalError> createInternalError() override;
};
