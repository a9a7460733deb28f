#pragma once
// Field descriptors of record structs built from the core field types.
#include <cstddef>
#include <cstring>
#include <type_traits>

#include "platform/core/fields.h"
#include "platform/core/text.h"
#include "platform/storage/file.h"

namespace zelk::storage {

template <class T>
struct FieldTypeOf;
template <std::size_t N>
struct FieldTypeOf<Text<N>> { static constexpr FieldType value = FieldType::Text; };
template <std::size_t N>
struct FieldTypeOf<Memo<N>> { static constexpr FieldType value = FieldType::Memo; };
template <>
struct FieldTypeOf<Int16> { static constexpr FieldType value = FieldType::Int16; };
template <>
struct FieldTypeOf<Int32> { static constexpr FieldType value = FieldType::Int32; };
template <>
struct FieldTypeOf<UInt8> { static constexpr FieldType value = FieldType::UInt8; };
template <>
struct FieldTypeOf<Real> { static constexpr FieldType value = FieldType::Real; };
template <>
struct FieldTypeOf<DateField> { static constexpr FieldType value = FieldType::Date; };
template <>
struct FieldTypeOf<Packed6> { static constexpr FieldType value = FieldType::Packed6; };

// The value of type T at p in a record, copied byte by byte: a record's fields are
// packed, never aligned for T.
template <class T>
T loadField(const char* p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
template <class T>
void storeField(char* p, const T& v) {
  std::memcpy(p, &v, sizeof v);
}

// A numeric or date field's value (a date's day number); 0 for a text field.
double fieldNumber(const FieldDesc& f, const char* rec);
// Stores v in a numeric or date field, held within the field type's range.
void setFieldNumber(const FieldDesc& f, char* rec, double v);

}  // namespace zelk::storage

// The descriptor of member m of record struct R, with its external name.
#define ZELK_FIELD(R, m, ext)                                                                    \
  ::zelk::storage::FieldDesc {                                                                   \
    #m, ::zelk::storage::FieldTypeOf<std::remove_cv_t<decltype(R::m)>>::value, offsetof(R, m), \
        sizeof(R::m), ext                                                                        \
  }
