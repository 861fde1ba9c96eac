#pragma once

#include <QtGlobal>

namespace kv {

// Writes all of it to the descriptor, again after an interrupted or short
// write; false with errno set when the system refuses.
bool writeAll(int fd, const char* data, qsizetype size);

} // namespace kv
