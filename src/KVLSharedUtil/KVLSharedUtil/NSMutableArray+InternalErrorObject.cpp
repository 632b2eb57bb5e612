#include "KVLSharedUtil/NSMutableArray+InternalErrorObject.h"

#include "ErrorService/KVLCreateInternalError.h"

void NSMutableArrayInternalErrorObject::addCopyOfInternalErrorObject(
    std::vector<std::unique_ptr<IKVLInternalError>>& array, const IKVLInternalError* record) {
    if (record == nullptr) {
        return;
    }
    auto copy = KVLCreateInternalError();
    if (!copy) {
        return;
    }
    copy->populateFromError(record);
    array.push_back(std::move(copy));
}
