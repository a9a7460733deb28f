// The partner register's rules that are no window's: the code as a number, the
// search by name fragment and the ANALIT registration of an added partner.
#include "review/partners.h"

#include <cmath>
#include <limits>

#include "dictionary/files.h"
#include "platform/core/codepage.h"
#include "platform/core/numread.h"
#include "platform/core/text.h"
#include "platform/framework/errors.h"
#include "review/codes.h"

namespace zelk::review {

std::int32_t partnerCodeNumber(std::string_view code) {
  double v = std::trunc(readDecimalNumber(code));
  if (v < std::numeric_limits<std::int32_t>::min() || v > std::numeric_limits<std::int32_t>::max()) return 0;
  return static_cast<std::int32_t>(v);
}

bool codeNamesPartner(std::string_view code) {
  const std::int32_t pick = partnerCodeNumber(code);
  return pick > 0 && completedCode(pickedCode(pick)) == code;
}

void refusePartnerCode() {
  fw::globalErrors().SetField(ansi("Код"));
  fw::globalErrors().Throw(fw::msg::kFieldNotValid);
}

bool partnerMatches(std::string_view fragment, std::string_view orgName, std::string_view shortName,
                    const fw::CaseTables& tables) {
  return fw::nameHasFragment(orgName, fragment, tables) || fw::nameHasFragment(shortName, fragment, tables);
}

std::optional<AnalitAccount> analitAccount(std::string_view debitAccount, std::string_view creditAccount) {
  bool debit = !trimRight(debitAccount).empty(), credit = !trimRight(creditAccount).empty();
  if (debit && !credit) return AnalitAccount{debitAccount, kDebitCrc};
  if (credit && !debit) return AnalitAccount{creditAccount, kCreditCrc};
  return std::nullopt;
}

dict::AnaRecord analitRow(const AnalitAccount& account, const dict::ParRecord& partner) {
  dict::AnaRecord row;  // texts blank, numbers 0
  row.SCHET = account.account;
  row.FLD_CODE = partner.FLD_CODE;
  row.NAME = partner.SHORTNAME;
  row.CRC = account.crc;
  row.ID_ST = kAnalitIdSt;
  return row;
}

int registerPartner(const dict::ParRecord& partner, std::string_view debitAccount, std::string_view creditAccount) {
  std::optional<AnalitAccount> account = analitAccount(debitAccount, creditAccount);
  if (!account) return storage::kNoError;
  auto& analit = dict::ANALIT();
  analit.rec = analitRow(*account, partner);
  return analit.add();
}

}  // namespace zelk::review
