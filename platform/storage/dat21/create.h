#pragma once
// Making 2.1 files: an empty file in place of any other, or one found missing.
#include <string>

#include "platform/storage/file.h"

namespace zelk::storage::dat21 {

// An empty file (its data file and key files), replacing one nobody has open.
ErrorState createFile(const FileDecl& decl, const std::string& name);
// A file found missing: made exclusively, or left as another station made it
// meanwhile (never replaced, even when nobody has it open yet).
ErrorState createMissingFile(const FileDecl& decl, const std::string& name);

}  // namespace zelk::storage::dat21
