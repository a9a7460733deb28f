// The ODBC driver on real data sources: SQLite through a private ODBC configuration in
// a temporary folder (set up by scripts/odbc-setup.sh), and PostgreSQL through the
// private server that scripts/pg-test-server.sh starts (ZELK_TEST_PG_DSN).
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "dictionary/declarations.h"
#include "dictionary/records.h"
#include "platform/core/codepage.h"
#include "platform/core/date.h"
#include "platform/storage/file.h"
#include "platform/storage/odbc/odbc.h"
#include "platform/storage/record.h"
#include "platform/storage/sharelock.h"
#include "support/datasources.h"
#include "support/files.h"
#include "support/registerlock.h"
#include "support/tempdir.h"

namespace zelk::test {
namespace {

namespace odbc = storage::odbc;
namespace mode = storage::mode;
namespace par = dict::par;
namespace ana = dict::ana;
using dict::AnaRecord;
using dict::ParRecord;
using storage::TypedFile;

constexpr std::uint8_t kShared = mode::kReadWrite | mode::kDenyNone;

std::string code6(int n) {
  std::string s = std::to_string(n);
  return std::string(6 - std::min<std::size_t>(6, s.size()), '0') + s;
}

std::int32_t day(int y, int m, int d) { return static_cast<std::int32_t>(date::dayNumber(y, m, d)); }

// A declaration of our own over the ANALIT table: the account, and the code cut to 3.
struct ShortAna {
  Text<16> SCHET;
  Text<3> FLD_CODE;
};
const storage::FieldDesc shortAnaFields[] = {ZELK_FIELD(ShortAna, SCHET, ""), ZELK_FIELD(ShortAna, FLD_CODE, "code")};
const storage::KeyComponent shortAnaKey[] = {{0}, {1}};
const storage::KeyDecl shortAnaKeys[] = {{"KEY_CODE", shortAnaKey, storage::kPrimary, ""}};
const storage::FileDecl kShortAna{"ANALIT", "ANA", storage::DriverKind::Odbc, sizeof(ShortAna), shortAnaFields,
                                  shortAnaKeys, false, false, false, "ANALIT"};

// ... and one that asks for a column the table lacks.
struct MissingColumn {
  Text<16> SCHET;
  Text<8> NOSUCH;
};
const storage::FieldDesc missingColumnFields[] = {ZELK_FIELD(MissingColumn, SCHET, ""),
                                                  ZELK_FIELD(MissingColumn, NOSUCH, "`no_such_column`")};
const storage::FileDecl kMissingColumn{"ANALIT", "ANA", storage::DriverKind::Odbc, sizeof(MissingColumn),
                                       missingColumnFields, {}, false, false, false, "ANALIT"};

class OdbcTest : public ::testing::TestWithParam<BackendCase> {
 protected:
  void SetUp() override {
    if (GetParam().postgres && sources->pgServer.empty()) GTEST_SKIP() << "ZELK_TEST_PG_DSN is not set";
    std::string problem;
    cs = emptySource(GetParam(), problem);
    ASSERT_FALSE(cs.empty()) << problem;
  }

  template <class R>
  static std::unique_ptr<TypedFile<R>> openFile(const storage::FileDecl& decl, std::uint8_t m = kShared) {
    auto f = std::make_unique<TypedFile<R>>(decl);
    EXPECT_EQ(f->open(m), 0) << storage::lastError().fileText;
    return f;
  }
  static std::unique_ptr<TypedFile<ParRecord>> partners() { return openFile<ParRecord>(dict::PARTNER_DECL); }
  static std::unique_ptr<TypedFile<AnaRecord>> analytics() { return openFile<AnaRecord>(dict::ANALIT_DECL); }

  static void addPartner(TypedFile<ParRecord>& f, std::string_view code, std::string_view shortName = "",
                         std::string_view orgName = "") {
    f.clearBuffer();
    f.rec.FLD_CODE = code;
    f.rec.SHORTNAME = shortName;
    f.rec.ORGNAME = orgName;
    ASSERT_EQ(f.add(), 0) << storage::lastError().fileText;
  }

  // The codes read from the start (or the end) of a key's order.
  static std::vector<std::string> readAllCodes(TypedFile<ParRecord>& f, int key, bool forward) {
    std::vector<std::string> out;
    EXPECT_EQ(f.set(key), 0);
    while ((forward ? f.next() : f.previous()) == 0) out.push_back(f.rec.FLD_CODE.str());
    EXPECT_EQ(storage::errorCode(), storage::kRecordNotAvailable);
    return out;
  }

  std::string cs;
};

INSTANTIATE_TEST_SUITE_P(Backends, OdbcTest, ::testing::ValuesIn(kBackends), backendName);

// --- key order, positioning and pages ----------------------------------------------------

TEST_P(OdbcTest, ReadsInKeyOrderAndPositionsAtAKeyValue) {
  auto f = partners();
  const char* rows[][2] = {{"000300", "Alfa"}, {"000100", "Beta"}, {"000200", "Alfa"},
                           {"A00001", "Alfa"}, {"000050", "Gamma"}, {"12A456", "Beta"}};
  for (auto& r : rows) addPartner(*f, r[0], r[1]);

  using V = std::vector<std::string>;
  EXPECT_EQ(readAllCodes(*f, par::FULLCODE, true), (V{"000050", "000100", "000200", "000300", "12A456", "A00001"}));
  EXPECT_EQ(readAllCodes(*f, par::FULLCODE, false), (V{"A00001", "12A456", "000300", "000200", "000100", "000050"}));
  // A key with duplicates: the primary key orders the records of one value.
  EXPECT_EQ(readAllCodes(*f, par::NAME, true), (V{"000200", "000300", "A00001", "000100", "12A456", "000050"}));
  EXPECT_EQ(readAllCodes(*f, par::NAME, false), (V{"000050", "12A456", "000100", "A00001", "000300", "000200"}));
  EXPECT_EQ(f->records(), 6u);

  struct Case {
    int key;
    const char* at;  // code for FULLCODE, short name for NAME
    bool forward;
    V expect;  // the first records read from there
  };
  const Case cases[] = {
      {par::FULLCODE, "000200", true, {"000200", "000300"}},
      {par::FULLCODE, "000150", true, {"000200", "000300"}},
      {par::FULLCODE, "000200", false, {"000200", "000100"}},
      {par::FULLCODE, "000150", false, {"000100", "000050"}},
      {par::FULLCODE, "B", true, {}},
      {par::FULLCODE, "0", false, {}},
      {par::NAME, "Beta", true, {"000100", "12A456", "000050"}},
      {par::NAME, "Beta", false, {"12A456", "000100", "A00001"}},
      {par::NAME, "Alfa", false, {"A00001", "000300", "000200"}},
      {par::NAME, "Alfb", true, {"000100"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.at) + (c.forward ? " next" : " previous"));
    f->clearBuffer();
    if (c.key == par::FULLCODE) f->rec.FLD_CODE = c.at;
    else f->rec.SHORTNAME = c.at;
    ASSERT_EQ(f->setAt(c.key), 0);
    V got;
    while (got.size() < c.expect.size() && (c.forward ? f->next() : f->previous()) == 0)
      got.push_back(f->rec.FLD_CODE.str());
    EXPECT_EQ(got, c.expect);
    if (c.expect.empty()) {
      EXPECT_EQ(c.forward ? f->next() : f->previous(), storage::kRecordNotAvailable);
    }
  }

  // GET: the exact value, the first of its duplicates, or 35.
  f->clearBuffer();
  f->rec.FLD_CODE = "12A456";
  ASSERT_EQ(f->get(par::FULLCODE), 0);
  EXPECT_EQ(f->rec.SHORTNAME, "Beta");
  f->clearBuffer();
  f->rec.SHORTNAME = "Alfa";
  ASSERT_EQ(f->get(par::NAME), 0);
  EXPECT_EQ(f->rec.FLD_CODE, "000200");
  f->clearBuffer();
  f->rec.FLD_CODE = "000150";
  EXPECT_EQ(f->get(par::FULLCODE), storage::kRecordNotFound);
}

TEST_P(OdbcTest, ReadsPageByPageBothWays) {
  // More records than three pages, added out of order; three short names, so that the
  // pages of the name key break inside runs of one name.
  const int n = 3 * odbc::kPageRows + 7;
  std::vector<std::pair<std::string, std::string>> byCode, byName;  // (code, name)
  {
    auto w = partners();
    ASSERT_EQ(w->lock(), 0);
    for (int i = 0; i < n; ++i) {
      std::string code = code6((i * 37 % n) * 10), name = "Name " + std::to_string(i % 3);
      addPartner(*w, code, name);
      byCode.emplace_back(code, name);
      byName.emplace_back(name, code);
    }
    ASSERT_EQ(w->unlock(), 0);
  }
  std::sort(byCode.begin(), byCode.end());
  std::sort(byName.begin(), byName.end());
  std::vector<std::string> codeOrder, nameOrder;
  for (auto& r : byCode) codeOrder.push_back(r.first);
  for (auto& r : byName) nameOrder.push_back(r.second);

  auto f = partners();
  // Each walk starts from SET(key): +k reads k records forward, -k backward. A model
  // of the position says what every single read must give.
  const std::vector<std::vector<int>> walks = {{+30, -10, +70, -90, +26, -1, +2}, {-n, +(n - 1), +1, -2}, {-27, +3, -40}};
  for (auto [key, expect] : {std::pair{int(par::FULLCODE), &codeOrder}, std::pair{int(par::NAME), &nameOrder}}) {
    for (const auto& walk : walks) {
      ASSERT_EQ(f->set(key), 0);
      int at = -1;  // -1: nothing read yet
      int step = 0;
      for (int move : walk) {
        for (int i = 0; i < std::abs(move); ++i, ++step) {
          SCOPED_TRACE("key " + std::to_string(key) + ", read " + std::to_string(step) + " of walk starting " +
                       std::to_string(walk.front()));
          const bool forward = move > 0;
          int want = at < 0 ? (forward ? 0 : n - 1) : at + (forward ? 1 : -1);
          int r = forward ? f->next() : f->previous();
          if (want < 0 || want >= n) {
            ASSERT_EQ(r, storage::kRecordNotAvailable);
            continue;
          }
          ASSERT_EQ(r, 0) << storage::lastError().fileText;
          ASSERT_EQ(f->rec.FLD_CODE.str(), (*expect)[static_cast<std::size_t>(want)]);
          if (forward) {
            EXPECT_EQ(f->eof(), want == n - 1);
          }
          at = want;
        }
      }
    }
  }
}

TEST_P(OdbcTest, PositionAndResetReadTheRecordAgain) {
  auto f = partners();
  for (const char* c : {"000001", "000002", "000003", "000004"}) addPartner(*f, c, "Same");
  for (int key : {int(par::FULLCODE), int(par::NAME)}) {
    ASSERT_EQ(f->set(key), 0);
    ASSERT_EQ(f->next(), 0);
    ASSERT_EQ(f->next(), 0);
    std::string pos = f->position();
    ASSERT_FALSE(pos.empty());
    ASSERT_EQ(f->next(), 0);
    ASSERT_EQ(f->reset(pos), 0);
    ASSERT_EQ(f->next(), 0);
    EXPECT_EQ(f->rec.FLD_CODE, "000002");
    ASSERT_EQ(f->next(), 0);
    EXPECT_EQ(f->rec.FLD_CODE, "000003");
  }
  EXPECT_EQ(f->reset("garbage"), storage::kRecordNotAvailable);
}

// REGET gives the record whose order fields the position holds, or 33: one another
// connection deleted, one whose key value it changed (in that key's order), a live one.
TEST_P(OdbcTest, RegetGivesTheRecordAtThePositionOrFails) {
  auto a = partners();
  auto b = partners();
  for (const char* c : {"000001", "000002", "000003", "000004"}) addPartner(*a, c, "Same");
  std::vector<std::string> byCode, byName;
  for (auto [key, into] : {std::pair{int(par::FULLCODE), &byCode}, std::pair{int(par::NAME), &byName}}) {
    ASSERT_EQ(a->set(key), 0);
    while (a->next() == 0) into->push_back(a->position());
    ASSERT_EQ(into->size(), 4u);
  }
  b->clearBuffer();
  b->rec.FLD_CODE = "000001";
  ASSERT_EQ(b->get(par::FULLCODE), 0);
  ASSERT_EQ(b->erase(), 0);
  b->rec.FLD_CODE = "000003";
  ASSERT_EQ(b->get(par::FULLCODE), 0);
  b->rec.SHORTNAME = "Other";
  ASSERT_EQ(b->put(), 0);

  struct Case {
    std::string at;
    const char *code, *after;  // the record read and the next in the position's order; null: 33
  } cases[] = {
      {byCode[0], nullptr, nullptr},     // deleted
      {byName[0], nullptr, nullptr},
      {byName[2], nullptr, nullptr},     // its name changed
      {byCode[2], "000003", "000004"},   // its code did not
      {byName[1], "000002", "000004"},   // live, then the next by name
      {"garbage", nullptr, nullptr},
  };
  for (const Case& c : cases) {
    a->clearBuffer();
    a->rec.FLD_CODE = "999999";
    a->watch();
    if (!c.code) {
      EXPECT_EQ(a->reget(c.at), storage::kRecordNotAvailable) << c.at;
      EXPECT_EQ(a->rec.FLD_CODE, "999999") << c.at;  // nothing read in its place
      EXPECT_EQ(a->put(), storage::kRecordNotAvailable) << c.at;
      continue;
    }
    ASSERT_EQ(a->reget(c.at), 0) << c.at;
    EXPECT_EQ(a->rec.FLD_CODE, c.code) << c.at;
    EXPECT_EQ(a->position(), c.at);
    ASSERT_EQ(a->next(), 0) << c.at;
    EXPECT_EQ(a->rec.FLD_CODE, c.after) << c.at;
  }
  // The re-read is watched: another connection's change since is not overwritten.
  a->watch();
  ASSERT_EQ(a->reget(byCode[1]), 0);
  b->rec.FLD_CODE = "000002";
  ASSERT_EQ(b->get(par::FULLCODE), 0);
  b->rec.ORGNAME = "Changed";
  ASSERT_EQ(b->put(), 0);
  a->rec.ORGNAME = "Mine";
  EXPECT_EQ(a->put(), storage::kRecordChanged);
}

// --- writes ------------------------------------------------------------------------------

TEST_P(OdbcTest, InsertsAndReportsADuplicatePrimaryKey) {
  auto p = partners();
  addPartner(*p, "000001", "First");
  p->rec.SHORTNAME = "Second";
  EXPECT_EQ(p->add(), storage::kDuplicateKey);
  EXPECT_EQ(storage::lastError().code, storage::kDuplicateKey);
  EXPECT_EQ(p->records(), 1u);
  p->clearBuffer();
  p->rec.FLD_CODE = "000001";
  ASSERT_EQ(p->get(par::FULLCODE), 0);
  EXPECT_EQ(p->rec.SHORTNAME, "First");

  // ANALIT's primary key is the account and the code together.
  auto a = analytics();
  auto addAna = [&](std::string_view schet, std::string_view code) {
    a->clearBuffer();
    a->rec.SCHET = schet;
    a->rec.FLD_CODE = code;
    a->rec.CRC = 555;
    a->rec.ID_ST = 1;
    return a->add();
  };
  EXPECT_EQ(addAna("60.01", "000001"), 0);
  EXPECT_EQ(addAna("60.01", "000001"), storage::kDuplicateKey);
  EXPECT_EQ(addAna("62.01", "000001"), 0);
  EXPECT_EQ(a->records(), 2u);
}

TEST_P(OdbcTest, RewritesAndDeletesTheCurrentRecord) {
  auto f = partners();
  for (const char* c : {"000001", "000002", "000003"}) addPartner(*f, c, "Name", "Old");
  f->clearBuffer();
  f->rec.FLD_CODE = "000002";
  ASSERT_EQ(f->get(par::FULLCODE), 0);
  f->rec.ORGNAME = "New";
  f->rec.FLD_CODE = "000009";  // the primary key itself may change
  ASSERT_EQ(f->put(), 0) << storage::lastError().fileText;
  f->clearBuffer();
  f->rec.FLD_CODE = "000009";
  ASSERT_EQ(f->get(par::FULLCODE), 0);
  EXPECT_EQ(f->rec.ORGNAME, "New");
  f->rec.FLD_CODE = "000003";
  EXPECT_EQ(f->put(), storage::kDuplicateKey);

  ASSERT_EQ(f->erase(), 0);
  EXPECT_EQ(f->erase(), storage::kRecordNotAvailable);
  EXPECT_EQ(f->put(), storage::kRecordNotAvailable);
  using V = std::vector<std::string>;
  EXPECT_EQ(readAllCodes(*f, par::FULLCODE, true), (V{"000001", "000003"}));

  // Another station deletes the record read: PUT finds it gone.
  auto other = partners();
  f->clearBuffer();
  f->rec.FLD_CODE = "000001";
  ASSERT_EQ(f->get(par::FULLCODE), 0);
  other->rec.FLD_CODE = "000001";
  ASSERT_EQ(other->get(par::FULLCODE), 0);
  ASSERT_EQ(other->erase(), 0);
  EXPECT_EQ(f->put(), storage::kRecordNotAvailable);
}

TEST_P(OdbcTest, WatchedRecordChangedByAnotherStationIsNotRewritten) {
  auto f = partners();
  auto other = partners();
  addPartner(*f, "000001", "Name", "Original");
  auto read = [](TypedFile<ParRecord>& t) {
    t.clearBuffer();
    t.rec.FLD_CODE = "000001";
    ASSERT_EQ(t.get(par::FULLCODE), 0);
  };
  f->watch();
  read(*f);
  read(*other);
  other->rec.ORGNAME = "Changed there";
  ASSERT_EQ(other->put(), 0);
  f->rec.ORGNAME = "Changed here";
  EXPECT_EQ(f->put(), storage::kRecordChanged);
  read(*f);
  EXPECT_EQ(f->rec.ORGNAME, "Changed there");

  // Watched and unchanged: the rewrite goes through.
  f->watch();
  read(*f);
  f->rec.ORGNAME = "Changed here";
  ASSERT_EQ(f->put(), 0) << storage::lastError().fileText;
  read(*other);
  EXPECT_EQ(other->rec.ORGNAME, "Changed here");
}

TEST_P(OdbcTest, LockHoldsAddsUntilUnlock) {
  auto f = partners();
  auto other = partners();
  ASSERT_EQ(f->lock(), 0);
  for (const char* c : {"000001", "000002", "000003"}) addPartner(*f, c);
  EXPECT_EQ(other->records(), 0u);
  ASSERT_EQ(f->unlock(), 0);
  EXPECT_EQ(other->records(), 3u);
}

TEST_P(OdbcTest, ReadOnlyOpenRefusesWrites) {
  auto f = openFile<ParRecord>(dict::PARTNER_DECL, mode::kRead | mode::kDenyNone);
  f->rec.FLD_CODE = "000001";
  EXPECT_EQ(f->add(), storage::kAccessDenied);
  EXPECT_EQ(f->lock(), storage::kAccessDenied);
}

// --- values ------------------------------------------------------------------------------

TEST_P(OdbcTest, DatesPackedDecimalsMemosAndNumbersRoundTrip) {
  struct Case {
    const char* code;
    std::int32_t date;
    std::int64_t packed;
    std::string memo;
    std::uint8_t small;
    std::int16_t id;
    std::int32_t group;
  };
  const std::string fullMemo = [] {
    std::string s;
    for (int i = 0; s.size() < 1280; ++i) s += static_cast<char>('A' + i % 26);
    s.back() = 'Z';
    return s;
  }();
  const Case cases[] = {
      {"000001", 0, 0, "", 0, 0, 0},
      {"000002", kFirstDay, Packed6::kMax, fullMemo, 255, -32768, -2147483647 - 1},
      {"000003", kLastDay, -Packed6::kMax, "line 1\r\nline 2\ttab", 1, 32767, 2147483647},
      {"000004", day(2024, 2, 29), 555, ansi("Примечание: «кавычки» и ё"), 7, 1, 42},
  };
  auto p = partners();
  auto a = analytics();
  for (const Case& c : cases) {
    p->clearBuffer();
    p->rec.FLD_CODE = c.code;
    p->rec.DATE_S = c.date;
    p->rec.PASDATE = c.date;
    p->rec.NOTE = c.memo;
    p->rec.IS_SELF = c.small;
    p->rec.ORGNAME = ansi("ООО «Ромашка» — Ёлкин и партнёры");
    ASSERT_EQ(p->add(), 0) << storage::lastError().fileText;
    a->clearBuffer();
    a->rec.SCHET = "60.01";
    a->rec.FLD_CODE = c.code;
    a->rec.NNOPER = c.packed;
    a->rec.CRC = -c.packed;
    a->rec.ID_ST = c.id;
    a->rec.GRUP_SCHET = c.group;
    ASSERT_EQ(a->add(), 0) << storage::lastError().fileText;
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    p->clearBuffer();
    p->rec.FLD_CODE = c.code;
    ASSERT_EQ(p->get(par::FULLCODE), 0);
    EXPECT_EQ(p->rec.DATE_S.day(), c.date);
    EXPECT_EQ(p->rec.PASDATE.day(), c.date);
    EXPECT_EQ(p->rec.BPERIOD.day(), 0);
    EXPECT_EQ(p->rec.NOTE.view(), Memo<1280>(c.memo).view());
    EXPECT_EQ(p->rec.IS_SELF, c.small);
    EXPECT_EQ(p->rec.ORGNAME, ansi("ООО «Ромашка» — Ёлкин и партнёры"));
    a->clearBuffer();
    a->rec.SCHET = "60.01";
    a->rec.FLD_CODE = c.code;
    ASSERT_EQ(a->get(ana::KEY_CODE), 0);
    EXPECT_EQ(static_cast<std::int64_t>(a->rec.NNOPER), c.packed);
    EXPECT_EQ(static_cast<std::int64_t>(a->rec.CRC), -c.packed);
    EXPECT_EQ(a->rec.ID_ST, c.id);
    EXPECT_EQ(a->rec.GRUP_SCHET, c.group);
  }
  // The data source holds real dates and exact integers: SQL of its own finds them.
  storage::ErrorState e = odbc::runScript(cs,
                                          "DELETE FROM \"PARTNER\" WHERE \"date_s\" = '2024-02-29';\n"
                                          "DELETE FROM \"PARTNER\" WHERE \"date_s\" IS NULL;\n"
                                          "DELETE FROM \"ANALIT\" WHERE \"NNOPER\" = 99999999999;\n");
  ASSERT_EQ(e.code, 0) << e.fileText;
  EXPECT_EQ(p->records(), 2u);
  EXPECT_EQ(a->records(), 3u);
}

TEST_P(OdbcTest, QuotesAndSqlInTextsAreStoredAsText) {
  const std::vector<std::string> codes = {"O'Neil", "\"x\"", "';--", "1 OR 1", "`key`", "?"};
  const std::string drop = "'); DROP TABLE \"PARTNER\"; --";
  auto f = partners();
  for (const std::string& c : codes) addPartner(*f, c, drop, c + drop);
  std::vector<std::string> sorted = codes;
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(readAllCodes(*f, par::FULLCODE, true), sorted);
  for (const std::string& c : codes) {
    SCOPED_TRACE(c);
    f->clearBuffer();
    f->rec.FLD_CODE = c;
    ASSERT_EQ(f->get(par::FULLCODE), 0);
    EXPECT_EQ(f->rec.ORGNAME.str(), c + drop);
    EXPECT_EQ(f->rec.SHORTNAME.str(), drop.substr(0, 25));
    ASSERT_EQ(f->setAt(par::FULLCODE), 0);
    ASSERT_EQ(f->next(), 0);
    EXPECT_EQ(f->rec.FLD_CODE.str(), c);
  }
  EXPECT_EQ(f->records(), codes.size());
}

TEST_P(OdbcTest, TextsAreCutToTheirFields) {
  auto a = analytics();
  a->clearBuffer();
  a->rec.SCHET = "60.01.1234567890123";  // 16 characters stay
  a->rec.FLD_CODE = "ABCDEFGH";
  ASSERT_EQ(a->add(), 0);
  // A declaration with a narrower field reads the column cut to it.
  auto s = openFile<ShortAna>(kShortAna);
  ASSERT_EQ(s->set(0), 0);
  ASSERT_EQ(s->next(), 0) << storage::lastError().fileText;
  EXPECT_EQ(s->rec.SCHET.view(), "60.01.1234567890");
  EXPECT_EQ(s->rec.FLD_CODE.view(), "ABC");
}

// --- another station's lock ------------------------------------------------------------------

// Another station holds the register locked: the open and every statement wait a
// bounded time, then ask whether to wait again (with the table's name). Told not to,
// the statement is a busy file; told to, it waits again and goes on once the lock is
// free. The bound shows in the waits ending.
TEST_P(OdbcTest, ARegisterLockedByAnotherStationIsABusyFile) {
  odbc::setBusyWait(std::chrono::milliseconds(200));
  auto f = partners();
  addPartner(*f, "000001", "one");
  RegisterLock other(cs, GetParam().postgres);
  ASSERT_TRUE(other.held());
  std::vector<std::string> asked;
  bool waitAgain = false;
  storage::setLockBusyQuestion([&](const std::string& file) {
    asked.push_back(file);
    if (waitAgain) other.release();
    return waitAgain;
  });

  TypedFile<ParRecord> g(dict::PARTNER_DECL);
  const struct {
    const char* statement;
    std::function<int()> run;
  } statements[] = {
      {"open", [&] { return g.open(kShared); }},
      {"next", [&] { return f->set(par::FULLCODE) == 0 ? f->next() : -1; }},
      {"get", [&] { return f->get(par::FULLCODE); }},
      {"add", [&] {
         f->clearBuffer();
         f->rec.FLD_CODE = "000002";
         return f->add();
       }},
      {"records", [&] { return f->records() == 0 ? storage::errorCode() : -1; }},
  };
  for (const auto& s : statements) {
    asked.clear();
    EXPECT_EQ(s.run(), storage::kFileLocked) << s.statement;
    EXPECT_EQ(asked, std::vector<std::string>{"PARTNER"}) << s.statement;
  }
  EXPECT_FALSE(g.isOpen());

  asked.clear();
  waitAgain = true;
  EXPECT_EQ(g.open(kShared), 0) << storage::lastError().fileText;
  EXPECT_EQ(asked.size(), 1u);
  EXPECT_EQ(readAllCodes(g, par::FULLCODE, true), std::vector<std::string>{"000001"});
  storage::setLockBusyQuestion(nullptr);
  odbc::setBusyWait(std::chrono::seconds(storage::kLockWaitSeconds));
}

// --- letters -------------------------------------------------------------------------------

// A register in UTF8 holding a name with letters Windows Cyrillic lacks, written by
// another program: every row reads, that one with a substitute for each such letter;
// the program's own texts are stored with their meaning and read back as written.
TEST(OdbcUtf8, EveryRowReadsWhateverLettersItHolds) {
  if (sources->pgUtf8Server.empty()) GTEST_SKIP() << "ZELK_TEST_PG_UTF8_DSN is not set";
  std::string problem;
  const std::string cs = emptySource({"PostgreSQL UTF8", true, true}, problem);
  ASSERT_FALSE(cs.empty()) << problem;
  ASSERT_EQ(odbc::runScript(cs, "INSERT INTO \"PARTNER\" (\"code\", \"SHORTNAME\", \"ORGNAME\") VALUES "
                                "('000001', 'Альфа', 'ООО Альфа'), ('000002', '中餐', 'Ресторан 中餐 😀'), "
                                "('000003', 'Бета', 'ООО «Бета» №1');")
                .code,
            0);
  TypedFile<ParRecord> f(dict::PARTNER_DECL);
  ASSERT_EQ(f.open(kShared), 0) << storage::lastError().fileText;
  f.clearBuffer();
  f.rec.FLD_CODE = "000004";
  f.rec.ORGNAME = ansi("ИП Ёлкин «Ель» №2");
  ASSERT_EQ(f.add(), 0) << storage::lastError().fileText;

  std::vector<std::string> names;
  ASSERT_EQ(f.set(par::FULLCODE), 0);
  while (f.next() == 0) names.push_back(cp::toUtf8(f.rec.ORGNAME.str()));
  EXPECT_EQ(storage::errorCode(), storage::kRecordNotAvailable) << storage::lastError().fileText;
  EXPECT_EQ(names, (std::vector<std::string>{"ООО Альфа", "Ресторан ?? ?", "ООО «Бета» №1", "ИП Ёлкин «Ель» №2"}));
  f.rec.FLD_CODE = "000002";
  ASSERT_EQ(f.get(par::FULLCODE), 0);
  EXPECT_EQ(f.rec.SHORTNAME.str(), "??");
  // What the program wrote is what another program finds.
  EXPECT_EQ(odbc::runScript(cs, "DELETE FROM \"PARTNER\" WHERE \"ORGNAME\" = 'ИП Ёлкин «Ель» №2';").code, 0);
  EXPECT_EQ(f.records(), 3u);
  odbc::setConnectionString("DSN=zlk");
}

// --- opening -------------------------------------------------------------------------------

TEST_P(OdbcTest, MissingTableOrColumnFailsTheOpen) {
  TypedFile<ParRecord> table(dict::PARTNER_DECL);
  table.setNameSource([] { return std::string("NO_SUCH_TABLE"); });
  EXPECT_EQ(table.open(kShared), storage::kFileNotFound);
  EXPECT_FALSE(table.isOpen());

  TypedFile<MissingColumn> column(kMissingColumn);
  EXPECT_EQ(column.open(kShared), storage::kDriverError);
  EXPECT_NE(storage::lastError().fileText.find("no_such_column"), std::string::npos) << storage::lastError().fileText;
  EXPECT_FALSE(column.isOpen());
}

TEST(OdbcOpen, MissingDataSourceFailsTheOpen) {
  odbc::setConnectionString("DSN=zelk_no_such_source");
  TypedFile<ParRecord> f(dict::PARTNER_DECL);
  EXPECT_EQ(f.open(kShared), storage::kDriverError);
  EXPECT_NE(storage::lastError().fileText.find("not found"), std::string::npos) << storage::lastError().fileText;
  odbc::setConnectionString("DSN=zlk");
}

// Only a missing table is a missing file: a database that is not one (or read-only)
// is a driver error that shows the data source's own text.
TEST(OdbcOpen, ADatabaseThatCannotBeReadIsADriverErrorWithItsOwnText) {
  std::string problem;
  ASSERT_FALSE(sources->sqlite(problem).empty()) << problem;
  auto openFails = [](const std::string& db, std::string_view text) {
    odbc::setConnectionString("Driver=SQLite3;Database=" + db + ";Timeout=100;");
    TypedFile<ParRecord> f(dict::PARTNER_DECL);
    EXPECT_EQ(f.open(kShared), storage::kDriverError);
    EXPECT_NE(storage::lastError().fileText.find(text), std::string::npos) << storage::lastError().fileText;
    odbc::setConnectionString("DSN=zlk");
  };
  const std::string garbage = *sources->dir / "not-a-database.db";
  writeAll(garbage, std::string(4096, 'x'));
  openFails(garbage, "not a database");
}

TEST(OdbcOpen, ServerDownFailsTheOpen) {
  if (sources->pgServer.empty()) GTEST_SKIP() << "ZELK_TEST_PG_DSN is not set";
  std::string cs;
  std::stringstream in(sources->pgServer);
  std::string part;
  while (std::getline(in, part, ';'))
    if (!part.empty()) cs += (part.rfind("Port=", 0) == 0 ? std::string("Port=1") : part) + ";";
  odbc::setConnectionString(cs);
  TypedFile<ParRecord> f(dict::PARTNER_DECL);
  EXPECT_EQ(f.open(kShared), storage::kDriverError);
  EXPECT_FALSE(storage::lastError().fileText.empty());
  odbc::setConnectionString("DSN=zlk");
}

TEST(OdbcSetup, LeavesAnExistingDataSourceAsItIs) {
  std::string problem;
  ASSERT_FALSE(sources->sqlite(problem).empty()) << problem;
  const std::string ini = *sources->dir / "odbc.ini";
  const std::string original = readAll(ini);
  const std::string db = *sources->dir / "data/zelk/zlk.db";
  ASSERT_NE(original.find(db), std::string::npos) << original;
  // Pointed elsewhere by hand: the set-up keeps the entry and makes the tables there.
  std::string moved = original;
  const std::string other = *sources->dir / "other.db";
  moved.replace(moved.find(db), db.size(), other);
  writeAll(ini, moved);
  EXPECT_EQ(DataSources::runSetup(), 0);
  EXPECT_EQ(readAll(ini), moved);
  odbc::setConnectionString("DSN=zlk");
  TypedFile<ParRecord> f(dict::PARTNER_DECL);
  EXPECT_EQ(f.open(kShared), 0) << storage::lastError().fileText;
  EXPECT_EQ(f.records(), 0u);
  f.close();
  writeAll(ini, original);
}

}  // namespace
}  // namespace zelk::test
