#include "tools/zelk-script/variables.h"

#include <utility>

#include "dictionary/globals.h"
#include "platform/core/codepage.h"
#include "platform/core/numtext.h"
#include "platform/core/text.h"
#include "tools/zelk-script/values.h"

namespace zelk::script {

const ui::Use* variable(std::string_view name) {
  using namespace dict;
  static const std::pair<const char*, ui::Use> all[] = {
      {"PATHZELK", ui::use(PATHZELK)},        {"P_DBI", ui::use(P_DBI)},
      {"P_PAR", ui::use(P_PAR)},              {"P_ANA", ui::use(P_ANA)},
      {"P_PRT", ui::use(P_PRT)},              {"P_LVO", ui::use(P_LVO)},
      {"P_PLN", ui::use(P_PLN)},              {"RFKPATH", ui::use(RFKPATH)},
      {"NAME_P", ui::use(NAME_P)},            {"N_SC_B", ui::use(N_SC_B)},
      {"NAME_D", ui::use(NAME_D)},            {"DT_SCHET_A", ui::use(DT_SCHET_A)},
      {"KT_SCHET_A", ui::use(KT_SCHET_A)},    {"N_SC_P", ui::use(N_SC_P)},
      {"N_FIR_A", ui::use(N_FIR_A)},          {"N_KL_A", ui::useNumber(N_KL_A)},
      {"D1", ui::useDate(D1)},                {"D2", ui::useDate(D2)},
      {"PLN_AD", ui::useNumber(PLN_AD)},      {"PLN_AK", ui::useNumber(PLN_AK)},
      {"PAR_AD", ui::useNumber(PAR_AD)},      {"PAR_AK", ui::useNumber(PAR_AK)},
      {"FIR", ui::useNumber(FIR)},
  };
  for (const auto& [n, v] : all)
    if (cp::sameName(n, name)) return &v;
  return nullptr;
}

std::string shown(const ui::Use& v) {
  switch (v.type) {
    case ui::Use::Type::Text: return cp::toUtf8(trimRight(v.getText()));
    case ui::Use::Type::Date: return dateText(v.getNumber());
    case ui::Use::Type::Number:
    case ui::Use::Type::None: break;
  }
  return numberText(v.getNumber());
}

std::optional<double> variableNumber(const ui::Use& v, std::string_view s) {
  return v.type == ui::Use::Type::Date ? parseDate(s) : parseNumber(s);
}

}  // namespace zelk::script
