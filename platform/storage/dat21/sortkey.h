#pragma once
// Sort keys of 2.1 data files: a key value turned into bytes that compare with
// memcmp in the key's order.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/storage/file.h"

namespace zelk::storage::dat21 {

// 0 when the declaration can be served (field bounds, field sizes of the numeric
// types, key components), else kInvalidRecordDeclaration.
int checkDecl(const FileDecl& decl);

class SortKey {
 public:
  SortKey(const FileDecl& decl, std::size_t index);

  std::size_t length() const { return length_; }
  bool unique() const { return unique_; }
  // Hash of everything that decides a key file's contents.
  std::uint64_t layout() const { return layout_; }

  // The sort bytes of the key value in the (program-side) record rec, in out.
  // Returns false when the key leaves the record out (OPT and a blank or zero value).
  bool make(const char* rec, std::string& out) const;

 private:
  const FileDecl* decl_;
  const KeyDecl* key_;
  std::size_t length_ = 0;
  bool unique_ = true;
  std::uint64_t layout_ = 0;
};

}  // namespace zelk::storage::dat21
