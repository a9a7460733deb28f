#pragma once
// Rebuilding a 2.1 file's keys and free list from its slots.
#include <string>

#include "platform/storage/file.h"

namespace zelk::storage::dat21 {

// Rebuilds every key file from the slots, and the free list with them, keeping every
// record that can be read: a record whose status byte is damaged, and one cut short
// at the end of the file, are dropped (their slots become free). When a header copy
// is damaged, the intact slots past the sound copy's count (records the damaged,
// newer copy counted) are kept. Both header copies are written anew. On success the
// error's fileText says what was dropped, or is empty.
ErrorState buildFile(const FileDecl& decl, const std::string& name);

}  // namespace zelk::storage::dat21
