#include "dictionary/declarations.h"

#include "platform/storage/record.h"

namespace zelk::dict {
namespace {

using storage::DriverKind;
using storage::FieldDesc;
using storage::FileDecl;
using storage::KeyComponent;
using storage::KeyDecl;
using storage::kDup;
using storage::kNoCase;
using storage::kOpt;
using storage::kPrimary;

// PRT
const FieldDesc prtFields[] = {
    ZELK_FIELD(PrtRecord, KOD, ""),
    ZELK_FIELD(PrtRecord, NAME, ""),
};
const KeyComponent prtKey1[] = {{0}};
const KeyDecl prtKeys[] = {{"KEY_1", prtKey1, kOpt | kNoCase | kPrimary, "key_1"}};
const std::string_view prtDesc[] = {"PRT:key_1"};

// PLN
const FieldDesc plnFields[] = {
    ZELK_FIELD(PlnRecord, KOD, ""),
    ZELK_FIELD(PlnRecord, NOMER, ""),
    ZELK_FIELD(PlnRecord, NAME, ""),
    ZELK_FIELD(PlnRecord, FIR, ""),
};
const KeyComponent plnKey1[] = {{0}};
const KeyComponent plnKey2[] = {{1}};
const KeyDecl plnKeys[] = {
    {"KEY_1", plnKey1, kOpt | kNoCase | kPrimary, ""},
    {"KEY_2", plnKey2, kDup | kOpt | kNoCase, ""},
};
const std::string_view plnDesc[] = {"PLN:key_1", "PLN:key_2"};

// LVO
const FieldDesc lvoFields[] = {
    ZELK_FIELD(LvoRecord, OST, ""),
    ZELK_FIELD(LvoRecord, DATA, ""),
};

// ANALIT
const FieldDesc anaFields[] = {
    ZELK_FIELD(AnaRecord, SCHET, ""),
    ZELK_FIELD(AnaRecord, FLD_CODE, "code"),
    ZELK_FIELD(AnaRecord, NAME, ""),
    ZELK_FIELD(AnaRecord, KEY, "`key`"),
    ZELK_FIELD(AnaRecord, NNOPER, ""),
    ZELK_FIELD(AnaRecord, GRUP_SCHET, "`grup_schet`"),
    ZELK_FIELD(AnaRecord, CRC, ""),
    ZELK_FIELD(AnaRecord, ID_ST, "`id_st`"),
    ZELK_FIELD(AnaRecord, USER_CODE, "`user_code`"),
};
const KeyComponent anaKeyCode[] = {{0}, {1}};
const KeyComponent anaGrup[] = {{5}, {1}};
const KeyComponent anaKeyKey[] = {{0}, {3}};
const KeyComponent anaName1[] = {{0}, {2}};
const KeyComponent anaOperAnal[] = {{4}, {0}};
const KeyDecl anaKeys[] = {
    {"KEY_CODE", anaKeyCode, kPrimary, "code"},
    {"GRUP", anaGrup, kDup, ""},
    {"KEY_KEY", anaKeyKey, kDup, "key"},
    {"NAME1", anaName1, kDup, ""},
    {"OPER_ANAL", anaOperAnal, kDup, ""},
};
const std::string_view anaDesc[] = {"ana:KEY_code", "ana:grup", "ana:KEY_key", "ana:name1", "ana:oper_anal"};

// DBI
const FieldDesc dbiFields[] = {
    ZELK_FIELD(DbiRecord, NNOPER, "NNOPER=N(7.0)"),
    ZELK_FIELD(DbiRecord, TASK, ""),
    ZELK_FIELD(DbiRecord, DATAOPER, ""),
    ZELK_FIELD(DbiRecord, NNDOC, ""),
    ZELK_FIELD(DbiRecord, DT_SCHET, ""),
    ZELK_FIELD(DbiRecord, DT_CODE, ""),
    ZELK_FIELD(DbiRecord, KT_SCHET, ""),
    ZELK_FIELD(DbiRecord, KT_CODE, ""),
    ZELK_FIELD(DbiRecord, SUMMA, "SUMMA=N(19.3)"),
    ZELK_FIELD(DbiRecord, NAMEOPER, ""),
    ZELK_FIELD(DbiRecord, VALUTA, ""),
    ZELK_FIELD(DbiRecord, VSUMMA, "VSUMMA=N(19.3)"),
    ZELK_FIELD(DbiRecord, VCURS, "VCURS=N(13.5)"),
    ZELK_FIELD(DbiRecord, SCLAD, ""),
    ZELK_FIELD(DbiRecord, USER_DATE, ""),
    ZELK_FIELD(DbiRecord, STATUS, ""),
    ZELK_FIELD(DbiRecord, Z_STATUS, ""),
    ZELK_FIELD(DbiRecord, NNOPER_D, "NNOPER_D=N(7.0)"),
    ZELK_FIELD(DbiRecord, NNOPER_K, "NNOPER_K=N(7.0)"),
    ZELK_FIELD(DbiRecord, N_STATUS, ""),
    ZELK_FIELD(DbiRecord, CRYPT_CODE, ""),
    ZELK_FIELD(DbiRecord, CRC, "CRC=N(10.0)"),
    ZELK_FIELD(DbiRecord, ID_ST, "ID_ST=N(4.0)"),
    ZELK_FIELD(DbiRecord, USER_CODE, ""),
};

// PARTNER
const FieldDesc parFields[] = {
    ZELK_FIELD(ParRecord, CODE_PR, "`code_pr`"),
    ZELK_FIELD(ParRecord, FLD_CODE, "code"),
    ZELK_FIELD(ParRecord, SHORTNAME, ""),
    ZELK_FIELD(ParRecord, ORGNAME, ""),
    ZELK_FIELD(ParRecord, STATUS, ""),
    ZELK_FIELD(ParRecord, CODE_OKOHX, "`code_okohx`"),
    ZELK_FIELD(ParRecord, CODE_OKPO, "`code_okpo`"),
    ZELK_FIELD(ParRecord, TYPE_A, "`type_a`"),
    ZELK_FIELD(ParRecord, TELEFON1, ""),
    ZELK_FIELD(ParRecord, TELEFON2, ""),
    ZELK_FIELD(ParRecord, NOM_S, "`nom_s`"),
    ZELK_FIELD(ParRecord, DATE_S, "`date_s`"),
    ZELK_FIELD(ParRecord, BPERIOD, ""),
    ZELK_FIELD(ParRecord, EPERIOD, ""),
    ZELK_FIELD(ParRecord, VID_S, "`vid_s`"),
    ZELK_FIELD(ParRecord, PASSER, ""),
    ZELK_FIELD(ParRecord, PASNUM, ""),
    ZELK_FIELD(ParRecord, PASDATE, ""),
    ZELK_FIELD(ParRecord, PASWERE, ""),
    ZELK_FIELD(ParRecord, OKATO, ""),
    ZELK_FIELD(ParRecord, STATUS_NP, "`status_np`"),
    ZELK_FIELD(ParRecord, COD_BUD_P, "`cod_bud_p`"),
    ZELK_FIELD(ParRecord, ADRES_FACT, "`adres_fact`"),
    ZELK_FIELD(ParRecord, OFK_CD, "`ofk_cd`"),
    ZELK_FIELD(ParRecord, OFK_NM, "`ofk_nm`"),
    ZELK_FIELD(ParRecord, OFK_INN, "`ofk_inn`"),
    ZELK_FIELD(ParRecord, OFL_LS, "`ofl_ls`"),
    ZELK_FIELD(ParRecord, PART_ID, "`part_id`"),
    ZELK_FIELD(ParRecord, CODE_REG, "`code_reg`"),
    ZELK_FIELD(ParRecord, EMAIL, ""),
    ZELK_FIELD(ParRecord, INTERNET, ""),
    ZELK_FIELD(ParRecord, IS_SELF, "`is_self`"),
    ZELK_FIELD(ParRecord, IS_CLOSED, "`is_closed`"),
    ZELK_FIELD(ParRecord, CODE_INN, "`code_inn`"),
    ZELK_FIELD(ParRecord, CODE_KPP, "`code_kpp`"),
    ZELK_FIELD(ParRecord, NOTE, ""),
};
// Field numbers of the components.
enum ParField { CODE_PR, FLD_CODE, SHORTNAME, ORGNAME, STATUS, CODE_OKOHX, CODE_OKPO, TYPE_A, TELEFON1,
                TELEFON2, NOM_S, DATE_S, BPERIOD, EPERIOD, VID_S, PASSER, PASNUM, PASDATE, PASWERE, OKATO,
                STATUS_NP, COD_BUD_P, ADRES_FACT, OFK_CD, OFK_NM, OFK_INN, OFL_LS, PART_ID, CODE_REG, EMAIL,
                INTERNET, IS_SELF, IS_CLOSED, CODE_INN, CODE_KPP, NOTE };
const KeyComponent pTypeCode[] = {{TYPE_A}, {FLD_CODE}};
const KeyComponent pTypeName[] = {{TYPE_A}, {SHORTNAME}};
const KeyComponent pTypeNomS[] = {{TYPE_A}, {NOM_S}};
const KeyComponent pTypePasnum[] = {{TYPE_A}, {PASNUM}};
const KeyComponent pTypeStatusCode[] = {{TYPE_A}, {STATUS}, {FLD_CODE}};
const KeyComponent pTypePasser[] = {{TYPE_A}, {PASSER}};
const KeyComponent pCodBud[] = {{COD_BUD_P}};
const KeyComponent pCode[] = {{FLD_CODE}};
const KeyComponent pName[] = {{SHORTNAME}};
const KeyComponent pNomS[] = {{NOM_S}};
const KeyComponent pPasnum[] = {{PASNUM}};
const KeyComponent pPasser[] = {{PASSER}};
const KeyComponent pStatusCode[] = {{STATUS}, {FLD_CODE}};
const KeyComponent pStatusName[] = {{STATUS}, {SHORTNAME}};
const KeyComponent pStatusNomS[] = {{STATUS}, {NOM_S}};
const KeyComponent pStatusPasnum[] = {{STATUS}, {PASNUM}};
const KeyComponent pStatusPasser[] = {{STATUS}, {PASSER}};
const KeyComponent pStatusInn[] = {{STATUS}, {CODE_INN}};
const KeyComponent pStTypeCode[] = {{STATUS}, {TYPE_A}, {FLD_CODE}};
const KeyComponent pStTypeName[] = {{STATUS}, {TYPE_A}, {SHORTNAME}};
const KeyComponent pStTypeNomS[] = {{STATUS}, {TYPE_A}, {NOM_S}};
const KeyComponent pStTypePasnum[] = {{STATUS}, {TYPE_A}, {PASNUM}};
const KeyComponent pStTypePasser[] = {{STATUS}, {TYPE_A}, {PASSER}};
const KeyComponent pPartId[] = {{PART_ID}};
const KeyComponent pType[] = {{TYPE_A}};
const KeyComponent pSelf[] = {{IS_SELF}};
const KeyComponent pStatNp[] = {{STATUS_NP}};
const KeyDecl parKeys[] = {
    {"KEY__CODE", pTypeCode, kDup, "_code"},
    {"KEY__NAME", pTypeName, kDup, "_name"},
    {"KEY__NSVIDET", pTypeNomS, kDup, "_nsvidet"},
    {"KEY__NUMPASSP", pTypePasnum, kDup, "_numpassp"},
    {"KEY__SCODE", pTypeStatusCode, kDup, "_scode"},
    {"KEY__SERPASSP", pTypePasser, kDup, "_serpassp"},
    {"KEY_COD_BUD_P", pCodBud, kDup, "cod_bud_p"},
    {"FULLCODE", pCode, kPrimary, ""},
    {"NAME", pName, kDup, ""},
    {"NOM_SVIDET", pNomS, kDup, ""},
    {"PASSP_NUM", pPasnum, kDup, ""},
    {"PASSP_SER", pPasser, kDup, ""},
    {"S_CODE", pStatusCode, kDup, ""},
    {"S_NAME", pStatusName, kDup, ""},
    {"S_NSVIDET", pStatusNomS, kDup, ""},
    {"S_NUMPASSP", pStatusPasnum, kDup, ""},
    {"S_SERPASSP", pStatusPasser, kDup, ""},
    {"S_TAG_INN", pStatusInn, kDup, ""},
    {"ST_CODE", pStTypeCode, kDup, ""},
    {"ST_NAME", pStTypeName, kDup, ""},
    {"ST_NSVIDET", pStTypeNomS, kDup, ""},
    {"ST_NUMPASP", pStTypePasnum, kDup, ""},
    {"ST_SERPASP", pStTypePasser, kDup, ""},
    {"TAG_ID_2", pPartId, kDup, ""},
    {"TAG_NAME", pType, kDup, ""},
    {"TAG_SELF", pSelf, kDup, ""},
    {"TAG_STATNP", pStatNp, kDup, ""},
};
const std::string_view parDesc[] = {
    "par:KEY__code", "par:KEY__name", "par:KEY__nsvidet", "par:KEY__numpassp", "par:KEY__scode",
    "par:KEY__serpassp", "par:KEY_cod_bud_p", "par:fullcode", "par:name", "par:nom_svidet",
    "par:passp_num", "par:passp_ser", "par:s_code", "par:s_name", "par:s_nsvidet",
    "par:s_numpassp", "par:s_serpassp", "par:s_tag_inn", "par:st_code", "par:st_name",
    "par:st_nsvidet", "par:st_numpasp", "par:st_serpasp", "par:tag_id_2", "par:tag_name",
    "par:tag_self", "par:tag_statnp",
};
static_assert(std::size(parDesc) == std::size(parKeys));

// SUBS_CLT
const FieldDesc subFields[] = {
    ZELK_FIELD(SubRecord, DAT1, ""),
    ZELK_FIELD(SubRecord, DAT2, ""),
    ZELK_FIELD(SubRecord, IN_R, "IN_R=N(19.2)"),
    ZELK_FIELD(SubRecord, KOD_OP, ""),
    ZELK_FIELD(SubRecord, KOD_KOR, ""),
    ZELK_FIELD(SubRecord, BILL_KOR, ""),
    ZELK_FIELD(SubRecord, NOM_DOC, ""),
    ZELK_FIELD(SubRecord, SUM1, "SUM1=N(16.2)"),
    ZELK_FIELD(SubRecord, SUM2, "SUM2=N(16.2)"),
    ZELK_FIELD(SubRecord, CHEK, ""),
    ZELK_FIELD(SubRecord, BILL_KL, ""),
    ZELK_FIELD(SubRecord, DAT_DOC, ""),
    ZELK_FIELD(SubRecord, BUY, ""),
    ZELK_FIELD(SubRecord, BANK, ""),
    ZELK_FIELD(SubRecord, NAME, ""),
    ZELK_FIELD(SubRecord, BILL_MFO, ""),
    ZELK_FIELD(SubRecord, DAT3, ""),
    ZELK_FIELD(SubRecord, TIME3, ""),
    ZELK_FIELD(SubRecord, ISPOL, "ISPOL=N(2.0)"),
    ZELK_FIELD(SubRecord, CONFIRM, "CONFIRM=N(1.0)"),
    ZELK_FIELD(SubRecord, D1, ""),
    ZELK_FIELD(SubRecord, D2, ""),
    ZELK_FIELD(SubRecord, INN, ""),
    ZELK_FIELD(SubRecord, KPP, ""),
    ZELK_FIELD(SubRecord, KBK, ""),
    ZELK_FIELD(SubRecord, OKATO, ""),
    ZELK_FIELD(SubRecord, KODNP, ""),
    ZELK_FIELD(SubRecord, NPERIOD, ""),
    ZELK_FIELD(SubRecord, N_DOC, ""),
    ZELK_FIELD(SubRecord, DAT_DOC1, ""),
    ZELK_FIELD(SubRecord, VIDP_NAL, ""),
    ZELK_FIELD(SubRecord, SOSTPP, ""),
    ZELK_FIELD(SubRecord, OB_MINUS, "OB_MINUS=N(19.2)"),
    ZELK_FIELD(SubRecord, OB_PLUS, "OB_PLUS=N(19.2)"),
    ZELK_FIELD(SubRecord, OUT_R, "OUT_R=N(19.2)"),
};

// F_NAME
const FieldDesc fnmFields[] = {
    ZELK_FIELD(FnmRecord, KOD, ""),
    ZELK_FIELD(FnmRecord, NAME, ""),
    ZELK_FIELD(FnmRecord, PATH, ""),
    ZELK_FIELD(FnmRecord, PATH_PLN, ""),
    ZELK_FIELD(FnmRecord, SCH_B, ""),
    ZELK_FIELD(FnmRecord, RFKPATH, ""),
    ZELK_FIELD(FnmRecord, N_SC_P, ""),
    ZELK_FIELD(FnmRecord, N_KL, ""),
};
const KeyComponent fnmKey1[] = {{0}};
const KeyDecl fnmKeys[] = {{"KEY_1", fnmKey1, kOpt | kNoCase | kPrimary, ""}};
const std::string_view fnmDesc[] = {"FNm:key_1"};

// VIX
const FieldDesc lokoVixFields[] = {ZELK_FIELD(VixRecord<kLokoLine>, BIX, "")};
const FieldDesc bssVixFields[] = {ZELK_FIELD(VixRecord<kBssLine>, BIX, "")};

}  // namespace

//                              label       prefix  driver             size                keys
const FileDecl PRT_DECL{"PRT", "PRT", DriverKind::Dat21, sizeof(PrtRecord), prtFields, prtKeys, true, true, false, "prt"};
const FileDecl PLN_DECL{"PLN", "PLN", DriverKind::Dat21, sizeof(PlnRecord), plnFields, plnKeys, true, true, false, "pln"};
const FileDecl LVO_DECL{"LVO", "LVO", DriverKind::Dat21, sizeof(LvoRecord), lvoFields, {}, true, false, false, "lvo"};
const FileDecl ANALIT_DECL{"ANALIT", "ANA", DriverKind::Odbc, sizeof(AnaRecord), anaFields, anaKeys, false, false, false, "ANALIT"};
const FileDecl DBI_DECL{"DBI", "DBI", DriverKind::Dbase, sizeof(DbiRecord), dbiFields, {}, false, false, true, "DBI"};
const FileDecl PARTNER_DECL{"PARTNER", "PAR", DriverKind::Odbc, sizeof(ParRecord), parFields, parKeys, false, false, false, "PARTNER"};
const FileDecl SUBS_CLT_DECL{"SUBS_CLT", "SUB", DriverKind::Dbase, sizeof(SubRecord), subFields, {}, false, false, true, "SUBS_CLT"};
const FileDecl F_NAME_DECL{"F_NAME", "FNM", DriverKind::Dat21, sizeof(FnmRecord), fnmFields, fnmKeys, true, true, true, "F_NAME"};
const FileDecl LOKO_VIX_DECL{"VIX", "VIX", DriverKind::Text, sizeof(VixRecord<kLokoLine>), lokoVixFields, {}, false, false, true, ""};
const FileDecl BSS_VIX_DECL{"VIX", "VIX", DriverKind::Text, sizeof(VixRecord<kBssLine>), bssVixFields, {}, false, false, true, ""};

std::span<const std::string_view> keyDescriptions(const storage::FileDecl& decl) {
  if (&decl == &PRT_DECL) return prtDesc;
  if (&decl == &PLN_DECL) return plnDesc;
  if (&decl == &F_NAME_DECL) return fnmDesc;
  if (&decl == &ANALIT_DECL) return anaDesc;
  if (&decl == &PARTNER_DECL) return parDesc;
  return {};
}

}  // namespace zelk::dict
