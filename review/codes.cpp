#include "review/codes.h"

#include <limits>

#include "dictionary/declarations.h"
#include "dictionary/files.h"
#include "platform/core/numread.h"
#include "platform/core/picture.h"
#include "platform/core/text.h"

namespace zelk::review {

std::string pickedCode(std::int32_t pick) { return std::to_string(pick); }

std::string completedCode(std::string_view code) {
  if (trimRight(code).empty()) return {};
  static const Picture n06 = *Picture::parse("N06");
  const std::string six = n06.format(readDecimalNumber(code));
  return six == "000000" ? std::string() : six;
}

std::string pickedAccount(std::int32_t pick) {
  auto& pln = dict::PLN();
  if (pick >= std::numeric_limits<std::int16_t>::min() && pick <= std::numeric_limits<std::int16_t>::max()) {
    pln.rec.KOD = static_cast<std::int16_t>(pick);
    if (pln.get(dict::pln::KEY_1) == 0) return std::string(Text<10>(pln.rec.NOMER).trimmed());
  }
  pln.clearBuffer();
  return {};
}

}  // namespace zelk::review
