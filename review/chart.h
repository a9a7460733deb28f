#pragma once
// The chart fragment PLN: the firm's accounts that correspond with its bank account.
#include <cstddef>

namespace zelk::review {

// The chart list on the caller's thread: the current firm's rows by account number,
// narrowed by the fragment NAME_P (blanked when the list opens); "&Выбрать" puts the
// highlighted row's PLN:KOD into PLN_AD.
void PLN_TAB();
// Its twin for the credit account, run on a thread of its own: every row of the firm
// read at once, the fragment kept from the last list; "&Выбрать" fills PLN_AK.
void PLN_TAB1();
// The chart form: one PLN row for the list's request, stamped with the firm FIR.
void UPDATEPLN();

// The thread stack the posting form asks for when it starts PLN_TAB1.
inline constexpr std::size_t kChartLookupStack = 50000;

}  // namespace zelk::review
