// make-examples <folder>: writes the example firms and their statements into the
// folder (examples/ of the source tree holds what it wrote):
//   F_NAME.DAT, F_NAME.K01   the firm list: one firm per client-bank system
//   loko/vypiska.txt         an On-soft/Loko-Bank statement, loko/dbi.dbf empty
//   rfk/subs_clt.dbf         an RFK payments table, rfk/dbi.dbf empty
//   bss/vypiska.txt          a BSS statement, bss/dbi.dbf empty
//   */pln.dat, .K01, .K02    each firm's chart fragment (the 2.1 format)
//   partners.sql             partners to load into the data source "zlk" (1251 text)
// Statement texts in the DOS code page (866), lines ending in CR LF.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "dictionary/declarations.h"
#include "dictionary/files.h"
#include "platform/core/codepage.h"
#include "platform/core/date.h"
#include "platform/storage/dbase/dbase.h"
#include "tests/import/statements.h"

namespace {

using namespace zelk;
using namespace zelk::test;
namespace fs = std::filesystem;

constexpr std::string_view kOwnAccount = "40702810900000001234";
constexpr std::string_view kLedger = "51";

std::int32_t day(int y, int m, int d) { return static_cast<std::int32_t>(date::dayNumber(y, m, d)); }

bool writeText(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
  return static_cast<bool>(out);
}

std::string lokoExample() {
  return lokoStatement({
      {"350000.00", "1", "01-03-2024", "125000.00", "Оплата по счёту 12 от 26.02.2024, НДС 20%",
       "ООО \"Ромашка\" ИНН 7701234567", "ООО \"Пример\""},
      {"475000.00", "2", "04-03-2024", "-48300.50", "Аренда офиса за март 2024 г.", "ООО \"Пример\"",
       "ИП Иванов Иван Иванович"},
      {"426699.50", "3", "05-03-2024", "0", "Уточнение реквизитов", "", ""},
      {"426699.50", "4", "06-03-2024", "-1250.00", "Комиссия банка за ведение счёта", "ООО \"Пример\"",
       "АО \"Локо-Банк\""},
  });
}

std::string bssExample() {
  const std::string own(kOwnAccount);
  return crlfLines({
      dos("Выписка по счёту " + own + " за 01.03.2024 - 06.03.2024"),
      bssHeader("01.03.2024", "350000,00"),
      dos("Тип Дата документа         Номер  Счёт плательщика     Плательщик / Получатель / Сумма / Назначение"),
      bssDocument({"01.03.2024", "15", "40702810100000005678", "ООО \"Ромашка\" ИНН 7701234567", "ООО \"Пример\"",
                   "125000,00", "Оплата по счёту 12 от 26.02.2024, НДС 20%"}),
      bssDocument({"04.03.2024", "16", own, "ООО \"Пример\"", "ИП Иванов Иван Иванович", "48300,50",
                   "Аренда офиса за март 2024 г."}),
      bssDocument({"06.03.2024", "17", own, "ООО \"Пример\"", "АО \"БСС-Банк\"", "1250,00",
                   "Комиссия банка за ведение счёта"}),
      dos("Итого обороты: дебет 49550,50 кредит 125000,00"),
  });
}

std::vector<Payment> rfkExample() {
  return {
      {0, day(2024, 3, 1), 350000, 125000, 0, "15", "ООО \"Ромашка\" ИНН 7701234567",
       "Оплата по счёту 12 от 26.02.2024, НДС 20%"},
      {day(2024, 3, 4), 0, 475000, 0, 48300.5, "16", "ИП Иванов Иван Иванович", "Аренда офиса за март 2024 г."},
      {0, day(2024, 3, 5), 426699.5, 100, -100, "17", "ООО \"Ромашка\"", "Сторно ошибочной проводки"},
      {0, day(2024, 3, 6), 426699.5, 0, 300, "18", "ООО \"Ошибка\"", "Удалённый документ", true},
      {0, day(2024, 3, 6), 426699.5, 0, 1250, "19", "АО \"РФК-Банк\"", "Комиссия банка за ведение счёта"},
      {0, day(2024, 4, 2), 425449.5, 5000, 0, "20", "ООО \"Ромашка\"", "Оплата по счёту 14 (апрель)"},
  };
}

struct Firm {
  std::int16_t code;
  const char* name;
  const char* folder;
  std::uint8_t system;  // 1 On-soft/Loko-Bank, 2 RFK, 3 BSS
};

int writeFirms(const fs::path& top, const std::vector<Firm>& firms) {
  for (const char* f : {"F_NAME.DAT", "F_NAME.K01"}) fs::remove(top / f);
  const std::string name = (top / "F_NAME").string();
  storage::TypedFile<dict::FnmRecord> fnm(dict::F_NAME_DECL);
  fnm.setNameSource([name] { return name; });
  if (int e = fnm.create()) return e;
  if (int e = fnm.open()) return e;
  for (const Firm& f : firms) {
    fnm.clearBuffer();
    fnm.rec.KOD = f.code;
    fnm.rec.NAME = cp::fromUtf8(f.name);
    fnm.rec.PATH = f.folder;
    fnm.rec.PATH_PLN = f.folder;
    fnm.rec.SCH_B = kLedger;
    fnm.rec.RFKPATH = f.system == 2 ? f.folder : "";
    fnm.rec.N_SC_P = kOwnAccount;
    fnm.rec.N_KL = f.system;
    if (int e = fnm.add()) return e;
  }
  if (int e = fnm.flush()) return e;
  return fnm.close();
}

// The chart fragment of a firm: the accounts that correspond with its bank account.
int writeChart(const fs::path& file, std::int16_t firm) {
  const struct {
    const char* nomer;
    const char* name;
  } accounts[] = {
      {"51", "Расчетные счета"},
      {"60.1", "Расчеты с поставщиками и подрядчиками"},
      {"62.1", "Расчеты с покупателями и заказчиками"},
      {"68.2", "Расчеты по налогу на добавленную стоимость"},
      {"76.5", "Расчеты с разными дебиторами и кредиторами"},
      {"91.2", "Прочие расходы"},
  };
  for (const char* ext : {".dat", ".K01", ".K02"}) fs::remove(fs::path(file).replace_extension(ext));
  const std::string name = file.string();
  storage::TypedFile<dict::PlnRecord> pln(dict::PLN_DECL);
  pln.setNameSource([name] { return name; });
  if (int e = pln.create()) return e;
  if (int e = pln.open()) return e;
  std::int16_t kod = 0;
  for (const auto& a : accounts) {
    pln.clearBuffer();
    pln.rec.KOD = ++kod;
    pln.rec.NOMER = a.nomer;
    pln.rec.NAME = cp::fromUtf8(a.name);
    pln.rec.FIR = firm;
    if (int e = pln.add()) return e;
  }
  if (int e = pln.flush()) return e;
  return pln.close();
}

// Partners as SQL statements, one a line, in the program's code page (1251).
std::string partnersSql() {
  const struct {
    const char *code, *shortName, *orgName, *inn, *kpp;
  } partners[] = {
      {"000042", "Ромашка", "ООО \"Ромашка\"", "7701234567", "770101001"},
      {"000101", "ИП Иванов", "Индивидуальный предприниматель Иванов Иван Иванович", "770212345678", ""},
      {"000102", "Локо-Банк", "АО \"Локо-Банк\"", "7750003943", "775001001"},
      {"000103", "РФК-Банк", "АО \"РФК-Банк\"", "7703211512", "770301001"},
      {"000104", "БСС-Банк", "АО \"БСС-Банк\"", "7707083893", "770701001"},
      {"000105", "Северный ТД", "ЗАО \"Северный торговый дом\"", "7814123456", "781401001"},
      {"000106", "Техноснаб", "ООО \"Техноснаб-Поволжье\"", "6315123456", "631501001"},
      {"000107", "ИФНС № 1", "Инспекция Федеральной налоговой службы № 1 по г. Москве", "7701107259", "770101001"},
      {"000108", "ГОРВОДОКАНАЛ", "МУП \"ГОРВОДОКАНАЛ\"", "5503013283", "550301001"},
      {"000109", "Офис Сервис", "ООО \"Офис Сервис\" (канцтовары)", "7728123456", "772801001"},
      {"000110", "Касса", "Касса предприятия", "", ""},
      {"001200", "Петрова А.С.", "Петрова Анна Сергеевна (подотчетное лицо)", "", ""},
  };
  auto quoted = [](std::string_view utf8) {
    std::string r = "'";
    for (char c : cp::fromUtf8(utf8)) r += c == '\'' ? std::string("''") : std::string(1, c);
    return r + "'";
  };
  std::string sql;
  for (const auto& p : partners)
    sql += "INSERT INTO \"PARTNER\" (\"code\", \"SHORTNAME\", \"ORGNAME\", \"code_inn\", \"code_kpp\") VALUES (" +
           quoted(p.code) + ", " + quoted(p.shortName) + ", " + quoted(p.orgName) + ", " + quoted(p.inn) + ", " +
           quoted(p.kpp) + ");\n";
  return sql;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make-examples <folder>\n");
    return 2;
  }
  dict::registerDrivers();
  const fs::path top = argv[1];
  const std::vector<Firm> firms = {
      {1, "ООО Пример (Локо-Банк)", "loko", 1},
      {2, "ООО Пример (РФК)", "rfk", 2},
      {3, "ООО Пример (BSS)", "bss", 3},
  };
  for (const Firm& f : firms) {
    fs::create_directories(top / f.folder);
    const fs::path dbi = top / f.folder / "dbi.dbf";
    fs::remove(dbi);
    if (int e = storage::dbase::driver().create(dict::DBI_DECL, dbi.string()).code) {
      std::fprintf(stderr, "make-examples: %s: error %d\n", dbi.c_str(), e);
      return 1;
    }
  }
  bool ok = writeText(top / "loko" / "vypiska.txt", lokoExample()) &&
            writeText(top / "bss" / "vypiska.txt", bssExample());
  const fs::path sub = top / "rfk" / "subs_clt.dbf";
  fs::remove(sub);
  int e = writePayments(sub.string(), rfkExample());
  if (e == 0) e = writeFirms(top, firms);
  for (const Firm& f : firms)
    if (e == 0) e = writeChart(top / f.folder / "pln.dat", f.code);
  ok = ok && writeText(top / "partners.sql", partnersSql());
  if (!ok || e != 0) {
    std::fprintf(stderr, "make-examples: writing failed (error %d)\n", e);
    return 1;
  }
  return 0;
}
