#pragma once
// Statements written as the client-bank systems write them: the DOS code page (866),
// CR LF after every line. Used by the importers' tests, the benchmarks and the tool
// that makes the examples. Texts are given in UTF-8.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "dictionary/declarations.h"
#include "dictionary/records.h"
#include "platform/core/codepage.h"
#include "platform/storage/dbase/dbase.h"
#include "platform/storage/file.h"

namespace zelk::test {

inline constexpr std::string_view kCrLf = "\r\n";

// A UTF-8 text in the DOS code page.
inline std::string dos(std::string_view utf8) { return cp::ansiToOem(cp::fromUtf8(utf8)); }

// One On-soft/Loko-Bank document: its seven lines.
struct LokoDoc {
  std::string balance, number, date, amount, purpose, payer, payee;
};

inline std::string lokoGroup(const LokoDoc& d) {
  std::string s;
  for (const std::string* line : {&d.balance, &d.number, &d.date, &d.amount, &d.purpose, &d.payer, &d.payee}) {
    s += dos(*line);
    s += kCrLf;
  }
  return s;
}

inline std::string lokoStatement(const std::vector<LokoDoc>& docs) {
  std::string s;
  for (const LokoDoc& d : docs) s += lokoGroup(d);
  return s;
}

// A line of fixed columns: texts placed at columns counted from 1, cut or padded to
// their widths; the line is as long as its last column (at least width).
class FixedLine {
 public:
  explicit FixedLine(std::size_t width = 0) : s_(width, ' ') {}
  FixedLine& at(std::size_t column, std::size_t width, std::string_view utf8) {
    const std::string t = dos(utf8);
    if (s_.size() < column - 1 + width) s_.resize(column - 1 + width, ' ');
    for (std::size_t i = 0; i < width; ++i) s_[column - 1 + i] = i < t.size() ? t[i] : ' ';
    return *this;
  }
  const std::string& str() const { return s_; }

 private:
  std::string s_;
};

// The BSS header line: statement date in columns 44-53, opening balance in 55-74.
inline std::string bssHeader(std::string_view date, std::string_view balance, std::size_t width = 0) {
  return FixedLine(width).at(1, 42, "ВЫПИСКА ПО СЧЕТУ").at(44, 10, date).at(55, 20, balance).str();
}

// One BSS document line.
struct BssDoc {
  std::string date, number, payerAccount, payer, payee, amount, purpose;
};

inline std::string bssDocument(const BssDoc& d, std::size_t width = 0) {
  return FixedLine(width)
      .at(1, 1, "0")
      .at(49, 10, d.date)
      .at(69, 5, d.number)
      .at(86, 20, d.payerAccount)
      .at(123, 160, d.payer)
      .at(466, 160, d.payee)
      .at(772, 20, d.amount)
      .at(808, 210, d.purpose)
      .str();
}

inline std::string crlfLines(const std::vector<std::string>& lines) {
  std::string s;
  for (const std::string& l : lines) {
    s += l;
    s += kCrLf;
  }
  return s;
}

// One RFK payment as the table holds it (day numbers, 0 for no date).
struct Payment {
  std::int32_t dat1 = 0, dat2 = 0;
  double inR = 0, sum1 = 0, sum2 = 0;
  std::string nomDoc, buy, name;  // UTF-8
  bool deleted = false;
};

inline void fillPayment(dict::SubRecord& r, const Payment& p) {
  r.DAT1 = p.dat1;
  r.DAT2 = p.dat2;
  r.IN_R = p.inR;
  r.SUM1 = p.sum1;
  r.SUM2 = p.sum2;
  r.NOM_DOC = cp::fromUtf8(p.nomDoc);
  r.BUY = cp::fromUtf8(p.buy);
  r.NAME = cp::fromUtf8(p.name);
  r.KOD_OP = "01";
}

// Writes the payments table subs_clt.dbf at path (the storage drivers registered);
// 0 or the storage error code.
inline int writePayments(const std::string& path, const std::vector<Payment>& payments) {
  if (int e = storage::dbase::driver().create(dict::SUBS_CLT_DECL, path).code) return e;
  storage::TypedFile<dict::SubRecord> f(dict::SUBS_CLT_DECL);
  f.setNameSource([path] { return path; });
  if (int e = f.open(storage::mode::kReadWrite | storage::mode::kDenyWrite)) return e;
  for (const Payment& p : payments) {
    f.clearBuffer();
    fillPayment(f.rec, p);
    if (int e = f.add()) return e;
    if (p.deleted)
      if (int e = f.erase()) return e;
  }
  if (int e = f.flush()) return e;
  return f.close();
}

}  // namespace zelk::test
