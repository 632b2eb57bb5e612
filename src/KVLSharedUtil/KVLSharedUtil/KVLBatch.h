#pragma once

#include "ErrorService/IKVLInternalError.h"
#include "ErrorService/KVLCreateInternalError.h"

// Runs an operation over a list the way every batch of the system does: each item gets a
// fresh record; a failed item's record is copied into the caller's, so the caller ends with
// the last failure; without continueIfFailed the first failure ends the batch. The caller's
// record is never reset, and stays as it came when nothing fails.
template <typename Items, typename Operation>
void KVLRunBatch(const Items& items, IKVLInternalError* error, bool continueIfFailed, Operation operation) {
    for (const auto& item : items) {
        const auto record = KVLCreateInternalError();
        operation(item, record.get());
        if (record && !record->isSuccess()) {
            if (error != nullptr) {
                error->populateFromError(record.get());
            }
            if (!continueIfFailed) {
                return;
            }
        }
    }
}
