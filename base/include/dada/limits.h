// Limits every layer agrees on.
#pragma once
#include <cstddef>

namespace dada {

// A path: at most kPathMax characters; a buffer for one holds its
// terminator too.
inline constexpr size_t kPathMax = 260;
inline constexpr size_t kPathBuf = kPathMax + 1;

} // namespace dada
