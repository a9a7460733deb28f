#pragma once
// The dBase table format: the header with its field descriptors, and the values of
// the columns (character, numeric, date, logical) as they stand in a record.
//
// Layout: a 32-byte header (version, last-update date, record count, header length,
// record length, language driver at byte 29), one 32-byte descriptor per column, a
// 0x0D terminator; then fixed-length records, each a deletion flag (' ' or '*')
// followed by the columns; a 0x1A after the last record.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/storage/file.h"

namespace zelk::storage::dbase {

inline constexpr std::size_t kHeaderSize = 32;
inline constexpr std::size_t kDescriptorSize = 32;
inline constexpr char kTerminator = 0x0D;
inline constexpr char kEndMarker = 0x1A;
inline constexpr char kLive = ' ';
inline constexpr char kDeleted = '*';
inline constexpr std::uint8_t kVersion = 0x03;         // dBase III/IV table without memo
inline constexpr std::uint8_t kLanguageOem866 = 0x26;  // DOS Cyrillic
inline constexpr std::uint8_t kLanguageAnsi1251 = 0xC9;  // Windows Cyrillic
inline constexpr std::size_t kMaxNameLength = 10;
inline constexpr std::size_t kMaxColumnWidth = 254;

// Header field offsets.
inline constexpr std::size_t kOffDate = 1;  // YY-1900, MM, DD
inline constexpr std::size_t kOffCount = 4;
inline constexpr std::size_t kOffHeaderLength = 8;
inline constexpr std::size_t kOffRecordLength = 10;
inline constexpr std::size_t kOffLanguage = 29;

struct Column {
  std::string name;  // as stored, without the NUL padding
  char type = 'C';   // 'C', 'N', 'F', 'D', 'L', or another type kept as characters
  std::size_t offset = 0;  // in the record, after the deletion flag
  std::size_t width = 0;
  unsigned decimals = 0;
};

struct Layout {
  std::uint8_t version = kVersion;
  std::uint32_t headerCount = 0;  // record count as the header states it
  std::size_t headerLength = 0;
  std::size_t recordLength = 0;
  std::uint8_t language = 0;
  std::vector<Column> columns;
};

// Reads a header from its first bytes. bytes holds at least the first 32 bytes and
// as many more as are available up to the header length. Fails with
// kInvalidDataFile when the header cannot describe a table.
ErrorState parseHeader(std::string_view bytes, Layout& out);

// The header bytes of an empty table with the given columns (offsets filled in).
// Dates are day numbers of the last update.
std::string buildHeader(Layout& layout, std::int32_t today);

// The YY MM DD bytes of the header's last-update date.
void putHeaderDate(unsigned char* dst, std::int32_t day);

// The dBase type of a declared field: from an external name "NAME=N(7.0)", else from
// the field's own type. Fails with kInvalidRecordDeclaration for a type that cannot
// be a column, kNotSupported for memo fields.
ErrorState columnFor(const FieldDesc& f, Column& out);

// Values of the column types.
// A number right-aligned in width bytes with the column's decimals, '*'s when it does
// not fit (or is not finite).
void formatNumber(char* dst, std::size_t width, unsigned decimals, double v);
// A number in a column: blanks, '*'s and text without a number give 0; a decimal
// comma is taken as the point.
double parseNumber(std::string_view text);
// YYYYMMDD of a valid day number, else blanks (width bytes, normally 8).
void formatDate(char* dst, std::size_t width, std::int32_t day);
// The day number of YYYYMMDD; 0 for blanks or anything that is not a real date.
std::int32_t parseDate(std::string_view text);

// Moves a declared field between the program's record and a column of a dBase
// record (raw points at the column's bytes). Text is converted 1251 <-> 866 when oem.
void encodeField(const FieldDesc& f, const char* rec, const Column& c, char* raw, bool oem);
void decodeField(const FieldDesc& f, char* rec, const Column& c, const char* raw, bool oem);
// A character column's text (width bytes at raw) into a text field of size bytes at
// dst: cut or padded with blanks, NUL bytes read as blanks, the code page converted.
void readText(char* dst, std::size_t size, const char* raw, std::size_t width, bool oem);

}  // namespace zelk::storage::dbase
