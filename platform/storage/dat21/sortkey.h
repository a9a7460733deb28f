#pragma once
// Sort keys of 2.1 data files: a key value turned into bytes that compare with
// memcmp in the key's order.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "platform/storage/file.h"

namespace zelk::storage::dat21 {

// 0 when the declaration can be served (field bounds, field sizes of the numeric
// types, key components), else kInvalidRecordDeclaration.
int checkDecl(const FileDecl& decl);

// Sort bytes compared as memcmp and then by length would compare them: below 0, 0,
// above 0. Short keys are compared byte by byte, without a call.
inline int compareSortBytes(std::string_view a, std::string_view b) {
  const std::size_t n = a.size() < b.size() ? a.size() : b.size();
  if (n > 16) {
    if (int c = std::memcmp(a.data(), b.data(), n)) return c;
  } else {
    for (std::size_t i = 0; i < n; ++i)
      if (a[i] != b[i]) return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[i]) ? -1 : 1;
  }
  return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

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
  // The same into out, length() bytes.
  bool make(const char* rec, char* out) const;
  // Whether a text field is part of the key (else the key reads alike from a record
  // whatever the code page of its texts).
  bool readsText() const { return readsText_; }

 private:
  const FileDecl* decl_;
  const KeyDecl* key_;
  std::size_t length_ = 0;
  bool unique_ = true;
  bool readsText_ = false;
  std::uint64_t layout_ = 0;
};

}  // namespace zelk::storage::dat21
