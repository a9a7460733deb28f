#pragma once
// What the 2.1 driver's parts share: the sizes of their blocks, and how a failed
// call becomes a result.
#include <cerrno>
#include <cstddef>
#include <cstdint>

#include "platform/storage/file.h"
#include "platform/storage/readahead.h"
#include "platform/storage/sharelock.h"
#include "platform/storage/staging.h"
#include "platform/storage/dat21/format.h"

namespace zelk::storage::dat21 {

inline ErrorState make(int code) { return errorOf(code); }

inline ErrorState lastErrno() { return fromErrno(errno); }
// A failed openRegular, a folder, a FIFO or a device being no data file.
inline ErrorState openErrno() { return fromOpenErrno(errno, kInvalidDataFile); }

// Gives up a ShareLock's hold of its file when it goes.
struct ReleaseOnExit {
  ShareLock& lock;
  ~ReleaseOnExit() { lock.release(); }
};

// The header flags a declaration gives a new file.
inline std::uint32_t declFlags(const FileDecl& d) {
  return (d.reclaim ? kFlagReclaim : 0) | (d.oem ? kFlagOem : 0);
}

}  // namespace zelk::storage::dat21
