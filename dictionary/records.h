#pragma once
// The record layouts of the eight files and of the statement files. Every field is a
// byte array, so a struct has exactly its layout's offsets and size.
#include <cstddef>

#include "platform/core/fields.h"
#include "platform/core/text.h"

namespace zelk::dict {

// PRT: the counterparty text of every imported posting.
struct PrtRecord {
  Int16 KOD;       // row number; DBI:NNOPER of a posting holds it
  Text<160> NAME;  // counterparty text of the statement line
};

// PLN: the chart fragment, rows of every firm sharing the chart folder.
struct PlnRecord {
  Int16 KOD;        // internal row number, auto-numbered
  Text<20> NOMER;   // account number
  Text<100> NAME;   // account name
  Int16 FIR;        // firm the row belongs to
};

// LVO: the single incoming-balance record.
struct LvoRecord {
  Real OST;    // incoming balance
  Int32 DATA;  // its date, the day number itself
};

// ANALIT: analytics codes registered per account.
struct AnaRecord {
  Text<16> SCHET;
  Text<32> FLD_CODE;
  Text<25> NAME;
  Text<15> KEY;
  Packed6 NNOPER;
  Int32 GRUP_SCHET;
  Packed6 CRC;
  Int16 ID_ST;
  Text<6> USER_CODE;
};

// DBI: the accounting system's postings.
struct DbiRecord {
  Real NNOPER;  // number of the posting's PRT row
  Text<2> TASK;
  DateField DATAOPER;  // document date
  Text<6> NNDOC;       // document number
  Text<10> DT_SCHET;   // debit account
  Text<6> DT_CODE;     // debit analytics code
  Text<10> KT_SCHET;   // credit account
  Text<6> KT_CODE;     // credit analytics code
  Real SUMMA;          // amount
  Text<50> NAMEOPER;   // operation text
  Text<3> VALUTA;
  Real VSUMMA;
  Real VCURS;
  Text<1> SCLAD;
  DateField USER_DATE;  // date of the import
  Text<1> STATUS;       // "0" money received, "1" money paid
  Text<1> Z_STATUS;
  Real NNOPER_D;
  Real NNOPER_K;
  Text<1> N_STATUS;
  Text<11> CRYPT_CODE;
  Real CRC;
  Real ID_ST;
  Text<6> USER_CODE;
};

// PARTNER: the accounting system's partner register.
struct ParRecord {
  Text<30> CODE_PR;
  Text<6> FLD_CODE;  // partner code
  Text<25> SHORTNAME;
  Text<254> ORGNAME;
  Text<1> STATUS;
  Text<20> CODE_OKOHX;
  Text<20> CODE_OKPO;
  Text<22> TYPE_A;
  Text<20> TELEFON1;
  Text<20> TELEFON2;
  Text<12> NOM_S;
  DateField DATE_S;
  DateField BPERIOD;
  DateField EPERIOD;
  Text<40> VID_S;
  Text<17> PASSER;
  Text<17> PASNUM;
  DateField PASDATE;
  Text<50> PASWERE;
  Text<20> OKATO;
  Text<22> STATUS_NP;
  Text<5> COD_BUD_P;
  Text<240> ADRES_FACT;
  Text<10> OFK_CD;
  Text<100> OFK_NM;
  Text<30> OFK_INN;
  Text<20> OFL_LS;
  Text<22> PART_ID;
  Text<20> CODE_REG;
  Text<50> EMAIL;
  Text<50> INTERNET;
  UInt8 IS_SELF;
  UInt8 IS_CLOSED;
  Text<20> CODE_INN;
  Text<20> CODE_KPP;
  Memo<1280> NOTE;
};

// SUBS_CLT: the RFK client-bank system's payments table.
struct SubRecord {
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

// F_NAME: the firm list.
struct FnmRecord {
  Int16 KOD;          // firm code, auto-numbered
  Text<50> NAME;      // firm name
  Text<60> PATH;      // database folder (dbi.dbf, prt.dat, lvo.dat)
  Text<60> PATH_PLN;  // chart folder (pln.dat)
  Text<20> SCH_B;     // bank ledger account
  Text<60> RFKPATH;   // folder of the RFK payments table
  Text<20> N_SC_P;    // bank account number
  UInt8 N_KL;         // client-bank system: 1 On-soft/Loko-Bank, 2 RFK, 3 BSS
};

// VIX: one line of a statement text file.
template <std::size_t N>
struct VixRecord {
  Text<N> BIX;
};
inline constexpr std::size_t kLokoLine = 255;
inline constexpr std::size_t kBssLine = 1875;

static_assert(sizeof(PrtRecord) == 162 && offsetof(PrtRecord, NAME) == 2);
static_assert(sizeof(PlnRecord) == 124 && offsetof(PlnRecord, NOMER) == 2 && offsetof(PlnRecord, NAME) == 22 &&
              offsetof(PlnRecord, FIR) == 122);
static_assert(sizeof(LvoRecord) == 12 && offsetof(LvoRecord, DATA) == 8);
static_assert(sizeof(FnmRecord) == 273 && offsetof(FnmRecord, NAME) == 2 && offsetof(FnmRecord, PATH) == 52 &&
              offsetof(FnmRecord, PATH_PLN) == 112 && offsetof(FnmRecord, SCH_B) == 172 &&
              offsetof(FnmRecord, RFKPATH) == 192 && offsetof(FnmRecord, N_SC_P) == 252 &&
              offsetof(FnmRecord, N_KL) == 272);

}  // namespace zelk::dict
