#pragma once

#include <string_view>

namespace platform {

// Writes every byte to the descriptor, again after an interruption or a partial write. False
// on failure with errno telling why (EIO for a write that took nothing).
bool writeAll(int descriptor, std::string_view bytes);

}  // namespace platform
