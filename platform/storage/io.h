#pragma once
// Whole reads and writes at an offset of an open descriptor, retried when interrupted.
#include <sys/types.h>

#include <cstddef>
#include <cstdint>

namespace zelk::storage {

// The count read: short at the end of the file; -1 on an error (errno says which).
ssize_t readAt(int fd, void* buf, std::size_t n, std::uint64_t off);
// False on an error (errno says which; ENOSPC when nothing more could be written).
bool writeAt(int fd, const void* buf, std::size_t n, std::uint64_t off);

}  // namespace zelk::storage
