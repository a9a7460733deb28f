#pragma once
// Record structs for the dBase tests: a postings table and a payments table laid out
// like the ones the program reads and writes, and a small table of every column type.
#include <array>
#include <cstddef>

#include "platform/core/fields.h"
#include "platform/core/text.h"
#include "platform/storage/file.h"
#include "platform/storage/record.h"

namespace zelk::test {

using storage::DriverKind;
using storage::FieldDesc;
using storage::FileDecl;

struct Posting {
  Real NNOPER;
  Text<2> TASK;
  DateField DATAOPER;
  Text<6> NNDOC;
  Text<10> DT_SCHET;
  Text<6> DT_CODE;
  Text<10> KT_SCHET;
  Text<6> KT_CODE;
  Real SUMMA;
  Text<50> NAMEOPER;
  Text<3> VALUTA;
  Real VSUMMA;
  Real VCURS;
  Text<1> SCLAD;
  DateField USER_DATE;
  Text<1> STATUS;
  Text<1> Z_STATUS;
  Real NNOPER_D;
  Real NNOPER_K;
  Text<1> N_STATUS;
  Text<11> CRYPT_CODE;
  Real CRC;
  Real ID_ST;
  Text<6> USER_CODE;
};

inline const FieldDesc kPostingFields[] = {
    ZELK_FIELD(Posting, NNOPER, "NNOPER=N(7.0)"),   ZELK_FIELD(Posting, TASK, ""),
    ZELK_FIELD(Posting, DATAOPER, ""),              ZELK_FIELD(Posting, NNDOC, ""),
    ZELK_FIELD(Posting, DT_SCHET, ""),              ZELK_FIELD(Posting, DT_CODE, ""),
    ZELK_FIELD(Posting, KT_SCHET, ""),              ZELK_FIELD(Posting, KT_CODE, ""),
    ZELK_FIELD(Posting, SUMMA, "SUMMA=N(19.3)"),    ZELK_FIELD(Posting, NAMEOPER, ""),
    ZELK_FIELD(Posting, VALUTA, ""),                ZELK_FIELD(Posting, VSUMMA, "VSUMMA=N(19.3)"),
    ZELK_FIELD(Posting, VCURS, "VCURS=N(13.5)"),    ZELK_FIELD(Posting, SCLAD, ""),
    ZELK_FIELD(Posting, USER_DATE, ""),             ZELK_FIELD(Posting, STATUS, ""),
    ZELK_FIELD(Posting, Z_STATUS, ""),              ZELK_FIELD(Posting, NNOPER_D, "NNOPER_D=N(7.0)"),
    ZELK_FIELD(Posting, NNOPER_K, "NNOPER_K=N(7.0)"), ZELK_FIELD(Posting, N_STATUS, ""),
    ZELK_FIELD(Posting, CRYPT_CODE, ""),            ZELK_FIELD(Posting, CRC, "CRC=N(10.0)"),
    ZELK_FIELD(Posting, ID_ST, "ID_ST=N(4.0)"),     ZELK_FIELD(Posting, USER_CODE, ""),
};

inline const FileDecl kPostings{"DBI", "DBI", DriverKind::Dbase, sizeof(Posting), kPostingFields, {},
                                false, false, true, "dbi.dbf"};

struct Payment {
  DateField DAT1;
  DateField DAT2;
  Real IN_R;
  Text<3> KOD_OP;
  Text<25> KOD_KOR;
  Text<25> BILL_KOR;
  Text<8> NOM_DOC;
  Real SUM1;
  Real SUM2;
  Text<10> CHEK;
  Text<25> BILL_KL;
  DateField DAT_DOC;
  Text<160> BUY;
  Text<102> BANK;
  Text<224> NAME;
  Text<9> BILL_MFO;
  DateField DAT3;
  Text<5> TIME3;
  Real ISPOL;
  Real CONFIRM;
  DateField D1;
  DateField D2;
  Text<12> INN;
  Text<9> KPP;
  Text<20> KBK;
  Text<11> OKATO;
  Text<2> KODNP;
  Text<10> NPERIOD;
  Text<15> N_DOC;
  Text<10> DAT_DOC1;
  Text<2> VIDP_NAL;
  Text<2> SOSTPP;
  Real OB_MINUS;
  Real OB_PLUS;
  Real OUT_R;
};

inline const FieldDesc kPaymentFields[] = {
    ZELK_FIELD(Payment, DAT1, ""),       ZELK_FIELD(Payment, DAT2, ""),
    ZELK_FIELD(Payment, IN_R, "IN_R=N(19.2)"), ZELK_FIELD(Payment, KOD_OP, ""),
    ZELK_FIELD(Payment, KOD_KOR, ""),    ZELK_FIELD(Payment, BILL_KOR, ""),
    ZELK_FIELD(Payment, NOM_DOC, ""),    ZELK_FIELD(Payment, SUM1, "SUM1=N(16.2)"),
    ZELK_FIELD(Payment, SUM2, "SUM2=N(16.2)"), ZELK_FIELD(Payment, CHEK, ""),
    ZELK_FIELD(Payment, BILL_KL, ""),    ZELK_FIELD(Payment, DAT_DOC, ""),
    ZELK_FIELD(Payment, BUY, ""),        ZELK_FIELD(Payment, BANK, ""),
    ZELK_FIELD(Payment, NAME, ""),       ZELK_FIELD(Payment, BILL_MFO, ""),
    ZELK_FIELD(Payment, DAT3, ""),       ZELK_FIELD(Payment, TIME3, ""),
    ZELK_FIELD(Payment, ISPOL, "ISPOL=N(2.0)"), ZELK_FIELD(Payment, CONFIRM, "CONFIRM=N(1.0)"),
    ZELK_FIELD(Payment, D1, ""),         ZELK_FIELD(Payment, D2, ""),
    ZELK_FIELD(Payment, INN, ""),        ZELK_FIELD(Payment, KPP, ""),
    ZELK_FIELD(Payment, KBK, ""),        ZELK_FIELD(Payment, OKATO, ""),
    ZELK_FIELD(Payment, KODNP, ""),      ZELK_FIELD(Payment, NPERIOD, ""),
    ZELK_FIELD(Payment, N_DOC, ""),      ZELK_FIELD(Payment, DAT_DOC1, ""),
    ZELK_FIELD(Payment, VIDP_NAL, ""),   ZELK_FIELD(Payment, SOSTPP, ""),
    ZELK_FIELD(Payment, OB_MINUS, "OB_MINUS=N(19.2)"), ZELK_FIELD(Payment, OB_PLUS, "OB_PLUS=N(19.2)"),
    ZELK_FIELD(Payment, OUT_R, "OUT_R=N(19.2)"),
};

inline const FileDecl kPayments{"SUBS_CLT", "SUB", DriverKind::Dbase, sizeof(Payment), kPaymentFields, {},
                                false, false, true, "subs_clt.dbf"};

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
