#pragma once

#include <memory>
#include <vector>

#include "ErrorService/IKVLInternalError.h"

// Collects independent copies of internal error records.
struct NSMutableArrayInternalErrorObject {
    // Appends a copy of record made by the error service's manager; adds nothing for a null
    // record or while the error service is not loaded.
    static void addCopyOfInternalErrorObject(std::vector<std::unique_ptr<IKVLInternalError>>& array,
                                             const IKVLInternalError* record);
};
