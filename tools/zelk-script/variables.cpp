#include "tools/zelk-script/variables.h"

#include <atomic>
#include <utility>

#include "dictionary/globals.h"
#include "platform/core/codepage.h"
#include "platform/core/fields.h"
#include "tools/zelk-script/values.h"

namespace zelk::script {
namespace {

template <std::size_t N>
Variable textVariable(SharedText<N>& v) {
  return {Variable::Type::Text, [&v](std::string_view s) { v = s; }, [&v] { return v.str(); }, {}, {}};
}

template <class T>
Variable numberVariable(std::atomic<T>& v, Variable::Type type = Variable::Type::Number) {
  return {type, {}, {}, [&v](double d) { v = numberTo<T>(d); }, [&v] { return static_cast<double>(v.load()); }};
}

}  // namespace

const Variable* variable(std::string_view name) {
  using namespace dict;
  static const std::pair<const char*, Variable> all[] = {
      {"PATHZELK", textVariable(PATHZELK)},     {"P_DBI", textVariable(P_DBI)},
      {"P_PAR", textVariable(P_PAR)},           {"P_ANA", textVariable(P_ANA)},
      {"P_PRT", textVariable(P_PRT)},           {"P_LVO", textVariable(P_LVO)},
      {"P_PLN", textVariable(P_PLN)},           {"RFKPATH", textVariable(RFKPATH)},
      {"NAME_P", textVariable(NAME_P)},         {"N_SC_B", textVariable(N_SC_B)},
      {"NAME_D", textVariable(NAME_D)},         {"DT_SCHET_A", textVariable(DT_SCHET_A)},
      {"KT_SCHET_A", textVariable(KT_SCHET_A)}, {"N_SC_P", textVariable(N_SC_P)},
      {"N_FIR_A", textVariable(N_FIR_A)},       {"N_KL_A", numberVariable(N_KL_A)},
      {"D1", numberVariable(D1, Variable::Type::Date)}, {"D2", numberVariable(D2, Variable::Type::Date)},
      {"PLN_AD", numberVariable(PLN_AD)},       {"PLN_AK", numberVariable(PLN_AK)},
      {"PAR_AD", numberVariable(PAR_AD)},       {"PAR_AK", numberVariable(PAR_AK)},
      {"FIR", numberVariable(FIR)},
  };
  for (const auto& [n, v] : all)
    if (cp::sameName(n, name)) return &v;
  return nullptr;
}

std::string shown(const Variable& v) {
  switch (v.type) {
    case Variable::Type::Text: return cp::toUtf8(v.text());
    case Variable::Type::Date: return dateText(v.number());
    case Variable::Type::Number: break;
  }
  return str(v.number());
}

std::optional<double> variableNumber(const Variable& v, std::string_view s) {
  return v.type == Variable::Type::Date ? parseDate(s) : parseNumber(s);
}

}  // namespace zelk::script
