#include "dictionary/globals.h"

namespace zelk::dict {

SharedText<kNameSize> PATHZELK, P_DBI, P_PAR, P_ANA, P_PRT, P_LVO, P_PLN, RFKPATH;
SharedText<50> NAME_P, NAME_D, N_FIR_A;
SharedText<20> N_SC_B, N_SC_P;
SharedText<10> DT_SCHET_A, KT_SCHET_A;

std::atomic<std::uint8_t> N_KL_A{0};
std::atomic<std::int32_t> D1{0}, D2{0};
std::atomic<std::int32_t> PLN_AD{0}, PLN_AK{0}, PAR_AD{0}, PAR_AK{0};
std::atomic<std::int16_t> FIR{0};
std::atomic<std::int32_t> LCURRENTFDSETTING{0}, LADJFDSETTING{0};

thread_local std::uint8_t GLOBALREQUEST = 0;
thread_local std::uint8_t GLOBALRESPONSE = 0;
thread_local std::int32_t VCRREQUEST = 0;

void blankProcessVariables() {
  for (auto* v : {&PATHZELK, &P_DBI, &P_PAR, &P_ANA, &P_PRT, &P_LVO, &P_PLN}) v->clear();
  NAME_P.clear();
  N_SC_B.clear();
  NAME_D.clear();
  DT_SCHET_A.clear();
  KT_SCHET_A.clear();
  RFKPATH.clear();
  N_SC_P.clear();
  N_FIR_A.clear();
  N_KL_A = 0;
  for (auto* v : {&D1, &D2, &PLN_AD, &PLN_AK, &PAR_AD, &PAR_AK, &LCURRENTFDSETTING, &LADJFDSETTING}) *v = 0;
  FIR = 0;
}

}  // namespace zelk::dict
