#include "platform/storage/odbc/values.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "platform/core/codepage.h"
#include "platform/core/date.h"
#include "platform/core/fields.h"
#include "platform/core/text.h"
#include "platform/storage/record.h"

namespace zelk::storage::odbc {

void fromField(const FieldDesc& f, const char* rec, Value& v) {
  const char* p = rec + f.offset;
  v.ind = 0;
  switch (f.type) {
    case FieldType::Text:
    case FieldType::Memo: {
      std::string_view s = trimRight(std::string_view(p, f.size));
      std::string converted;
      if (v.utf8) {
        converted = cp::toUtf8(s);
        s = std::string_view(converted).substr(0, v.text.size() - 1);
      }
      std::memcpy(v.text.data(), s.data(), s.size());
      v.text[s.size()] = 0;
      v.ind = static_cast<SQLLEN>(s.size());
      break;
    }
    case FieldType::Int16: v.n.i16 = loadField<std::int16_t>(p); break;
    case FieldType::UInt8: v.n.i16 = static_cast<unsigned char>(*p); break;
    case FieldType::Int32: v.n.i32 = loadField<std::int32_t>(p); break;
    case FieldType::Packed6: v.n.i64 = loadField<Packed6>(p).get(); break;
    case FieldType::Real: v.n.real = loadField<double>(p); break;
    case FieldType::Date: {
      std::int32_t day = loadField<std::int32_t>(p);
      if (!date::valid(day)) {
        v.ind = SQL_NULL_DATA;
        break;
      }
      date::Ymd d = date::fromDay(day);
      v.n.date.year = static_cast<SQLSMALLINT>(d.year);
      v.n.date.month = static_cast<SQLUSMALLINT>(d.month);
      v.n.date.day = static_cast<SQLUSMALLINT>(d.day);
      break;
    }
  }
}

void toField(const FieldDesc& f, const Value& v, char* rec) {
  char* p = rec + f.offset;
  if (v.ind == SQL_NULL_DATA) {
    if (f.type == FieldType::Text || f.type == FieldType::Memo) std::memset(p, ' ', f.size);
    else if (f.type == FieldType::Packed6) storeField(p, Packed6(0));
    else std::memset(p, 0, f.size);
    return;
  }
  switch (f.type) {
    case FieldType::Text:
    case FieldType::Memo: {
      const std::size_t room = v.utf8 ? v.text.size() - 1 : f.size;
      std::size_t n = v.ind == SQL_NO_TOTAL || v.ind < 0 ? ::strnlen(v.text.data(), room)
                                                          : std::min<std::size_t>(static_cast<std::size_t>(v.ind), room);
      if (v.utf8) assignText(p, f.size, cp::fromUtf8(std::string_view(v.text.data(), n)));
      else assignText(p, f.size, std::string_view(v.text.data(), n));
      break;
    }
    case FieldType::Int16: storeField(p, static_cast<std::int16_t>(v.n.i16)); break;
    case FieldType::UInt8: *p = static_cast<char>(static_cast<unsigned char>(v.n.i16)); break;
    case FieldType::Int32: storeField(p, static_cast<std::int32_t>(v.n.i32)); break;
    case FieldType::Packed6: storeField(p, Packed6(static_cast<std::int64_t>(v.n.i64))); break;
    case FieldType::Real: storeField(p, static_cast<double>(v.n.real)); break;
    case FieldType::Date: {
      std::int64_t day = date::dayNumber(v.n.date.year, v.n.date.month, v.n.date.day);
      storeField(p, DateField(day >= kFirstDay && day <= kLastDay ? static_cast<std::int32_t>(day) : 0));
      break;
    }
  }
}

}  // namespace zelk::storage::odbc
