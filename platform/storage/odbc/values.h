#pragma once
// The ODBC driver's value conversions: a bound buffer of a field's C and SQL types,
// and the copies between a record's field and that buffer. Internal to the driver.
#include <sql.h>
#include <sqlext.h>

#include <vector>

#include "platform/storage/file.h"

namespace zelk::storage::odbc {

// A buffer for one parameter or result column of a field's type.
struct Value {
  SQLSMALLINT ctype = SQL_C_CHAR, sqltype = SQL_VARCHAR;
  SQLULEN columnSize = 0;
  std::vector<char> text;  // texts: the bytes (columns: room for the field and a NUL)
  union {
    SQLSMALLINT i16;
    SQLINTEGER i32;
    SQLBIGINT i64;
    SQLDOUBLE real;
    SQL_DATE_STRUCT date;
  } n{};
  SQLLEN ind = 0;

  // utf8: the texts travel as UTF-8, in room for the longest a field's letters take.
  Value(const FieldDesc& f, bool utf8) : utf8(utf8) {
    switch (f.type) {
      case FieldType::Text: ctype = SQL_C_CHAR; sqltype = SQL_VARCHAR; columnSize = f.size; break;
      case FieldType::Memo: ctype = SQL_C_CHAR; sqltype = SQL_LONGVARCHAR; columnSize = f.size; break;
      case FieldType::Int16:
      case FieldType::UInt8: ctype = SQL_C_SSHORT; sqltype = SQL_SMALLINT; break;
      case FieldType::Int32: ctype = SQL_C_SLONG; sqltype = SQL_INTEGER; break;
      case FieldType::Packed6: ctype = SQL_C_SBIGINT; sqltype = SQL_BIGINT; break;
      case FieldType::Real: ctype = SQL_C_DOUBLE; sqltype = SQL_DOUBLE; break;
      case FieldType::Date: ctype = SQL_C_TYPE_DATE; sqltype = SQL_TYPE_DATE; columnSize = 10; break;
    }
    if (isText()) text.resize((utf8 ? f.size * kUtf8Bytes : f.size) + 1);
    if (isText() && utf8) columnSize = text.size() - 1;
  }
  static constexpr std::size_t kUtf8Bytes = 4;  // the most a letter takes in UTF-8
  bool utf8 = false;
  bool isText() const { return ctype == SQL_C_CHAR; }
  SQLPOINTER ptr() { return isText() ? static_cast<SQLPOINTER>(text.data()) : static_cast<SQLPOINTER>(&n); }
  SQLLEN capacity() const {
    if (isText()) return static_cast<SQLLEN>(text.size());
    switch (ctype) {
      case SQL_C_SSHORT: return sizeof n.i16;
      case SQL_C_SLONG: return sizeof n.i32;
      case SQL_C_SBIGINT: return sizeof n.i64;
      case SQL_C_DOUBLE: return sizeof n.real;
      default: return sizeof n.date;
    }
  }
};

// Field of a record -> parameter: texts without trailing blanks (in UTF-8 when the
// value travels so), no date is NULL.
void fromField(const FieldDesc& f, const char* rec, Value& v);
// Result column -> field of a record: NULL is blank or 0; a text that travels as
// UTF-8 is converted to 1251 (a letter 1251 lacks becomes '?'); a longer text is cut.
void toField(const FieldDesc& f, const Value& v, char* rec);

}  // namespace zelk::storage::odbc
