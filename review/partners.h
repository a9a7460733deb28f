#pragma once
// The partner register: the two partner look-ups of the posting form and the
// partner form, with the plain rules they use.
#include <cstdint>
#include <optional>
#include <string_view>

#include "dictionary/records.h"
#include "platform/framework/casetables.h"

namespace zelk::review {

// The partner list of the debit-side analytics: "Выбрать" leaves the highlighted
// partner's code, as a number, in PAR_AD.
void PR_TTT();
// Its twin for the credit-side analytics: the pick goes to PAR_AK.
void PR_TTT1();
// The partner form: one PARTNER row for the list's request (view, insert); it
// refuses change and delete. An inserted partner is registered in ANALIT under the
// account the posting form left in DT_SCHET_A or KT_SCHET_A.
void UPDATEPARTNER1();

// A partner code read as a number by the decimal number rule, the fraction cut
// toward zero and the sign kept: "000123" 123, "12A456" 12, "A12345" 0, " 77" 77,
// "070000" 70000. A number beyond 32 bits gives 0 (nothing picked).
std::int32_t partnerCodeNumber(std::string_view code);

// Whether a partner's code names that partner in a posting: the posting that picks
// the partner stores the code itself (its six-digit analytics form, as completedCode
// writes a picked code). "000042" does; "42", " 77", "12A456", "-00012" and "A12345"
// do not (the posting would store "000042", "000077", "000012", another form or
// nothing).
bool codeNamesPartner(std::string_view code);

// Message 16 (kFieldNotValid) for a partner code that does not name its partner in a posting.
void refusePartnerCode();

// Whether a partner passes the search by name fragment: a blank fragment passes
// every partner; else the fragment without its trailing blanks, exactly as typed,
// is looked for in the full name, then in the short name, each lower-cased by the
// case tables and without its trailing blanks.
bool partnerMatches(std::string_view fragment, std::string_view orgName, std::string_view shortName,
                    const fw::CaseTables& tables = fw::caseTables());

// The account a partner added from a look-up is registered under, and the row's
// check value: the debit account with 555 when only it is filled, the credit
// account with 333 when only it is filled; none otherwise.
struct AnalitAccount {
  std::string_view account;
  std::int64_t crc;
};
inline constexpr std::int64_t kDebitCrc = 555, kCreditCrc = 333;
inline constexpr std::int16_t kAnalitIdSt = 1;
std::optional<AnalitAccount> analitAccount(std::string_view debitAccount, std::string_view creditAccount);

// The registration row of a partner under an account: the account, the partner's
// code and short name, the check value and ID_ST 1; every other field blank or 0.
dict::AnaRecord analitRow(const AnalitAccount& account, const dict::ParRecord& partner);

// Adds the registration row of partner to the calling thread's ANALIT (open) when
// one of the two accounts says so. Answers the storage code of the add (0 also when
// there was nothing to add); a row already registered gives the duplicate-key code.
int registerPartner(const dict::ParRecord& partner, std::string_view debitAccount, std::string_view creditAccount);

}  // namespace zelk::review
