#include "platform/storage/dat21/sortkey.h"

#include <bit>
#include <cstring>

#include "platform/core/codepage.h"
#include "platform/core/fields.h"
#include "platform/storage/dat21/format.h"

namespace zelk::storage::dat21 {
namespace {

// Largest record the format takes.
constexpr std::size_t kMaxRecordSize = 1u << 20;

// Bytes a field of the type occupies in a sort key; 0 for "its own size".
std::size_t keyBytes(const FieldDesc& f) {
  switch (f.type) {
    case FieldType::Int16: return 2;
    case FieldType::Int32:
    case FieldType::Date: return 4;
    case FieldType::UInt8: return 1;
    case FieldType::Real:
    case FieldType::Packed6: return 8;
    case FieldType::Text:
    case FieldType::Memo: return f.size;
  }
  return f.size;
}

// Bytes the type needs in the record buffer; 0 for any size.
std::size_t recordBytes(FieldType t) {
  switch (t) {
    case FieldType::Int16: return 2;
    case FieldType::Int32:
    case FieldType::Date: return 4;
    case FieldType::UInt8: return 1;
    case FieldType::Real: return 8;
    case FieldType::Packed6: return 6;
    case FieldType::Text:
    case FieldType::Memo: return 0;
  }
  return 0;
}

char* putBigEndian(char* out, std::uint64_t v, std::size_t bytes) {
  for (std::size_t i = bytes; i-- > 0;) *out++ = static_cast<char>(v >> (8 * i));
  return out;
}

struct Fnv {
  std::uint64_t h = 0xcbf29ce484222325ull;
  void add(std::uint64_t v) {
    for (int i = 0; i < 8; ++i) {
      h ^= (v >> (8 * i)) & 0xFF;
      h *= 0x100000001b3ull;
    }
  }
};

template <class T>
T load(const char* p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

}  // namespace

int checkDecl(const FileDecl& decl) {
  if (decl.recordSize == 0 || decl.recordSize > kMaxRecordSize) return kInvalidRecordDeclaration;
  if (decl.keys.size() > kMaxKeys) return kInvalidRecordDeclaration;
  for (const FieldDesc& f : decl.fields) {
    if (f.offset > decl.recordSize || f.size > decl.recordSize - f.offset) return kInvalidRecordDeclaration;
    std::size_t need = recordBytes(f.type);
    if (need != 0 && f.size != need) return kInvalidRecordDeclaration;
  }
  for (const KeyDecl& k : decl.keys) {
    if (k.components.empty()) return kInvalidRecordDeclaration;
    for (const KeyComponent& c : k.components)
      if (c.field < 0 || static_cast<std::size_t>(c.field) >= decl.fields.size()) return kInvalidRecordDeclaration;
  }
  return 0;
}

SortKey::SortKey(const FileDecl& decl, std::size_t index) : decl_(&decl), key_(&decl.keys[index]) {
  unique_ = key_->unique();
  Fnv h;
  h.add(kVersion);
  h.add(decl.recordSize);
  h.add(decl.oem ? 1 : 0);
  h.add(key_->attrs & (kNoCase | kOpt));
  for (const KeyComponent& c : key_->components) {
    const FieldDesc& f = decl.fields[static_cast<std::size_t>(c.field)];
    length_ += keyBytes(f);
    if (f.type == FieldType::Text || f.type == FieldType::Memo) readsText_ = true;
    h.add(static_cast<std::uint64_t>(f.type));
    h.add(f.offset);
    h.add(f.size);
    h.add(c.descending ? 1 : 0);
  }
  layout_ = h.h;
}

bool SortKey::make(const char* rec, std::string& out) const {
  out.resize(length_);
  return make(rec, out.data());
}

bool SortKey::make(const char* rec, char* out) const {
  const bool nocase = key_->attrs & kNoCase;
  bool blank = true;
  char* o = out;
  for (const KeyComponent& c : key_->components) {
    const FieldDesc& f = decl_->fields[static_cast<std::size_t>(c.field)];
    const char* p = rec + f.offset;
    char* const start = o;
    switch (f.type) {
      case FieldType::Text:
      case FieldType::Memo:
        for (std::size_t i = 0; i < f.size; ++i)
          if (p[i] != ' ' && p[i] != '\0') blank = false;
        if (nocase && f.type == FieldType::Text)
          for (std::size_t i = 0; i < f.size; ++i) o[i] = cp::upper(p[i]);
        else
          std::memcpy(o, p, f.size);
        o += f.size;
        break;
      case FieldType::Int16: {
        auto v = load<std::int16_t>(p);
        if (v != 0) blank = false;
        o = putBigEndian(o, static_cast<std::uint16_t>(v) ^ 0x8000u, 2);
        break;
      }
      case FieldType::Int32:
      case FieldType::Date: {
        auto v = load<std::int32_t>(p);
        if (v != 0) blank = false;
        o = putBigEndian(o, static_cast<std::uint32_t>(v) ^ 0x80000000u, 4);
        break;
      }
      case FieldType::UInt8: {
        auto v = static_cast<unsigned char>(*p);
        if (v != 0) blank = false;
        *o++ = static_cast<char>(v);
        break;
      }
      case FieldType::Real: {
        double d = load<double>(p);
        if (d == 0.0) d = 0.0;  // -0 sorts with +0
        else blank = false;
        if (d != d) d = std::bit_cast<double>(0x7FF8000000000000ull);  // one NaN
        auto bits = std::bit_cast<std::uint64_t>(d);
        bits = (bits >> 63) ? ~bits : bits ^ (1ull << 63);
        o = putBigEndian(o, bits, 8);
        break;
      }
      case FieldType::Packed6: {
        Packed6 v;
        std::memcpy(&v, p, sizeof v);
        std::int64_t n = v.get();
        if (n != 0) blank = false;
        o = putBigEndian(o, static_cast<std::uint64_t>(n) ^ (1ull << 63), 8);
        break;
      }
    }
    if (c.descending)
      for (char* q = start; q < o; ++q) *q = static_cast<char>(~*q);
  }
  return !(blank && (key_->attrs & kOpt));
}

}  // namespace zelk::storage::dat21
