#include "LoggerService/KVLLog.h"

void KVLLogInternalError(const IKVLInternalError& error) {
    KVLLogMessage(KVLLogLevelError, error.getFileName().value_or(""), error.getLineNo(), "%@", error);
}
