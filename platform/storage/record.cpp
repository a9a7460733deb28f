#include "platform/storage/record.h"

#include <cstring>

namespace zelk::storage {
double fieldNumber(const FieldDesc& f, const char* rec) {
  const char* p = rec + f.offset;
  switch (f.type) {
    case FieldType::Int16: return loadField<Int16>(p).get();
    case FieldType::Int32: return loadField<Int32>(p).get();
    case FieldType::UInt8: return loadField<UInt8>(p).get();
    case FieldType::Real: return loadField<Real>(p).get();
    case FieldType::Date: return loadField<DateField>(p).day();
    case FieldType::Packed6: return static_cast<double>(loadField<Packed6>(p).get());
    default: return 0;
  }
}

void setFieldNumber(const FieldDesc& f, char* rec, double v) {
  char* p = rec + f.offset;
  switch (f.type) {
    case FieldType::Int16: storeField(p, Int16(numberTo<std::int16_t>(v))); break;
    case FieldType::Int32: storeField(p, Int32(numberTo<std::int32_t>(v))); break;
    case FieldType::UInt8: storeField(p, UInt8(numberTo<std::uint8_t>(v))); break;
    case FieldType::Real: storeField(p, Real(v)); break;
    case FieldType::Date: storeField(p, DateField(numberTo<std::int32_t>(v))); break;
    case FieldType::Packed6: storeField(p, Packed6(numberTo<std::int64_t>(v))); break;
    default: break;
  }
}

}  // namespace zelk::storage
