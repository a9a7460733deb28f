#pragma once
// Records of the dBase tests: the program's postings and payments tables, and a small
// table of every column type.
#include <array>
#include <cstddef>

#include "dictionary/declarations.h"
#include "dictionary/records.h"
#include "platform/core/fields.h"
#include "platform/core/text.h"
#include "platform/storage/file.h"
#include "platform/storage/record.h"

namespace zelk::test {

using storage::DriverKind;
using storage::FieldDesc;
using storage::FileDecl;

// The program's own postings and payments tables.
using Posting = dict::DbiRecord;
using Payment = dict::SubRecord;
inline const FileDecl& kPostings = dict::DBI_DECL;
inline const FileDecl& kPayments = dict::SUBS_CLT_DECL;

// One field of every type the program's records hold, on every column type.
struct AllTypes {
  Text<12> NAME;
  Real AMOUNT;    // N(12.2)
  Real RATE;      // F(15.6)
  Real PLAIN;     // no type given: N(19.3)
  Int16 SMALL;    // N(6.0)
  Int32 BIG;      // N(11.0)
  UInt8 BYTE;     // N(3.0)
  Packed6 PACKED; // N(12.0)
  DateField DAY;  // D
  Int16 FLAG;     // L
  Real ASTEXT;    // C(10)
};

inline const FieldDesc kAllTypesFields[] = {
    ZELK_FIELD(AllTypes, NAME, ""),
    ZELK_FIELD(AllTypes, AMOUNT, "AMOUNT=N(12.2)"),
    ZELK_FIELD(AllTypes, RATE, "RATE=F(15.6)"),
    ZELK_FIELD(AllTypes, PLAIN, ""),
    ZELK_FIELD(AllTypes, SMALL, ""),
    ZELK_FIELD(AllTypes, BIG, ""),
    ZELK_FIELD(AllTypes, BYTE, ""),
    ZELK_FIELD(AllTypes, PACKED, ""),
    ZELK_FIELD(AllTypes, DAY, ""),
    ZELK_FIELD(AllTypes, FLAG, "FLAG=L"),
    ZELK_FIELD(AllTypes, ASTEXT, "ASTEXT=C(10)"),
};

inline const FileDecl kAllTypes{"ALL", "ALL", DriverKind::Dbase, sizeof(AllTypes), kAllTypesFields, {},
                                false, false, true, "all.dbf"};

}  // namespace zelk::test
