#include "platform/storage/record.h"

#include <cstring>

namespace zelk::storage {
namespace {

template <class T>
T load(const char* p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

template <class T>
void store(char* p, const T& v) {
  std::memcpy(p, &v, sizeof v);
}

}  // namespace

double fieldNumber(const FieldDesc& f, const char* rec) {
  const char* p = rec + f.offset;
  switch (f.type) {
    case FieldType::Int16: return load<Int16>(p).get();
    case FieldType::Int32: return load<Int32>(p).get();
    case FieldType::UInt8: return load<UInt8>(p).get();
    case FieldType::Real: return load<Real>(p).get();
    case FieldType::Date: return load<DateField>(p).day();
    case FieldType::Packed6: return static_cast<double>(load<Packed6>(p).get());
    default: return 0;
  }
}

void setFieldNumber(const FieldDesc& f, char* rec, double v) {
  char* p = rec + f.offset;
  switch (f.type) {
    case FieldType::Int16: store(p, Int16(numberTo<std::int16_t>(v))); break;
    case FieldType::Int32: store(p, Int32(numberTo<std::int32_t>(v))); break;
    case FieldType::UInt8: store(p, UInt8(numberTo<std::uint8_t>(v))); break;
    case FieldType::Real: store(p, Real(v)); break;
    case FieldType::Date: store(p, DateField(numberTo<std::int32_t>(v))); break;
    case FieldType::Packed6: store(p, Packed6(numberTo<std::int64_t>(v))); break;
    default: break;
  }
}

}  // namespace zelk::storage
