#pragma once
// Program-wide variables. Process variables are shared by every thread: texts
// carry a lock of their own, numbers are atomic. Thread variables exist once per
// thread.
#include <atomic>
#include <cstddef>
#include <cstdint>

#include "platform/core/text.h"

namespace zelk::dict {

// File names are kept whole: a folder of up to 60 characters and the file's name.
inline constexpr std::size_t kNameSize = 260;

extern SharedText<kNameSize> PATHZELK;  // the statement text file
extern SharedText<kNameSize> P_DBI;     // database folder \ dbi.dbf
extern SharedText<kNameSize> P_PAR;     // database folder \ partner.dbf (read by nobody)
extern SharedText<kNameSize> P_ANA;     // database folder \ analit.dbf (read by nobody)
extern SharedText<kNameSize> P_PRT;     // database folder \ prt.dat
extern SharedText<kNameSize> P_LVO;     // database folder \ lvo.dat
extern SharedText<kNameSize> P_PLN;     // chart folder \ pln.dat
extern SharedText<kNameSize> RFKPATH;   // RFK folder \ subs_clt.dbf
extern SharedText<50> NAME_P;           // chart search fragment
extern SharedText<20> N_SC_B;           // the firm's bank ledger account
extern SharedText<50> NAME_D;           // partner search fragment
extern SharedText<10> DT_SCHET_A;       // debit account handed to the partner form
extern SharedText<10> KT_SCHET_A;       // credit account handed likewise
extern SharedText<20> N_SC_P;           // the firm's bank account number
extern SharedText<50> N_FIR_A;          // the firm's name

extern std::atomic<std::uint8_t> N_KL_A;   // client-bank system: 1 On-soft/Loko-Bank, 2 RFK, 3 BSS, 0 none
extern std::atomic<std::int32_t> D1, D2;   // RFK import interval (day numbers)
// Picks of the look-ups, 0 for none; 32 bits so that no partner code is cut.
extern std::atomic<std::int32_t> PLN_AD;   // picked chart row (PLN:KOD), debit
extern std::atomic<std::int32_t> PLN_AK;   // picked chart row (PLN:KOD), credit
extern std::atomic<std::int32_t> PAR_AD;   // picked partner code, debit analytics
extern std::atomic<std::int32_t> PAR_AK;   // picked partner code, credit analytics
extern std::atomic<std::int16_t> FIR;      // the current firm code
extern std::atomic<std::int32_t> LCURRENTFDSETTING;  // full-window dragging as read at start
extern std::atomic<std::int32_t> LADJFDSETTING;      // parameter block of the dragging calls; stays 0

extern thread_local std::uint8_t GLOBALREQUEST;   // request for the next window
extern thread_local std::uint8_t GLOBALRESPONSE;  // response of the window that returned last
extern thread_local std::int32_t VCRREQUEST;      // the form toolbar's scrolling request; stays 0

// Process start: every text variable blank, every number 0.
void blankProcessVariables();

}  // namespace zelk::dict
