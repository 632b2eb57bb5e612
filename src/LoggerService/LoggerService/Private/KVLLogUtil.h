#pragma once

#include <string>

#include "Platform/DateFormatter.h"

// The file logger's naming and its two date formatters.
class KVLLogUtil {
public:
    // "<yyyy-MM-dd HH-mm-ss>_<user>_<host>_<pid>(<bundle folder>)_<module>.log", with the
    // current local date-time; names are used as they are, blanks included.
    static std::string getLogFileNameWithPid(int pid, const std::string& moduleName);

    // "yyMMdd HHmmss.SSS" and "yyyy-MM-dd HH-mm-ss", in the locale "en_US" and the default
    // time zone. A formatter is not safe for concurrent use, so each thread gets its own,
    // made on its first use and kept for the thread's life.
    static const platform::DateFormatter& logFileDateFormatterMsg();
    static const platform::DateFormatter& logFileDateFormatterFile();
};
