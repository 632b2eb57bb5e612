#pragma once

#include <memory>

#include "ErrorService/IKVLInternalError.h"

// A fresh record from the loaded error service's manager, or null while it is not loaded.
std::unique_ptr<IKVLInternalError> KVLCreateInternalError();
