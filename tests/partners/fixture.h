#pragma once
// The partner lists and the partner form run by the scripted user over the
// program's layers and a real ODBC data source, SQLite or PostgreSQL (each test
// runs on both, and on PostgreSQL in a database in UTF8 too). Partners and
// registrations are written and read by another connection, as another station
// would.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "dictionary/declarations.h"
#include "dictionary/files.h"
#include "dictionary/globals.h"
#include "dictionary/managers.h"
#include "platform/core/codepage.h"
#include "platform/framework/windowmanager.h"
#include "platform/script/scripted_user.h"
#include "review/partners.h"
#include "support/datasources.h"
#include "support/scripted.h"

namespace zelk::test {

inline constexpr const char* kListTitle = "Список партнеров";

// A partner as the tests write and read it (UTF-8).
struct Partner {
  std::string code, shortName, orgName;
  bool operator==(const Partner&) const = default;
};
inline std::ostream& operator<<(std::ostream& os, const Partner& p) {
  return os << "{" << p.code << ", " << p.shortName << ", " << p.orgName << "}";
}

// A registration row as the tests read it (UTF-8).
struct Registration {
  std::string account, code, name, key, userCode;
  std::int64_t crc = 0, nnoper = 0;
  std::int32_t grupSchet = 0;
  int idSt = 0;
  bool operator==(const Registration&) const = default;
};
inline std::ostream& operator<<(std::ostream& os, const Registration& r) {
  return os << "{" << r.account << ", " << r.code << ", " << r.name << ", crc " << r.crc << ", id_st " << r.idSt
            << ", key '" << r.key << "', nnoper " << r.nnoper << ", grup " << r.grupSchet << ", user '" << r.userCode
            << "'}";
}
// A registration row with its other fields blank or zero.
inline Registration registration(std::string account, std::string code, std::string name, std::int64_t crc) {
  return {std::move(account), std::move(code), std::move(name), "", "", crc, 0, 0, 1};
}

// The back ends of the register: those of every ODBC test, and a PostgreSQL database in
// UTF8.
inline const BackendCase kRegisterBackends[] = {kBackends[0], kBackends[1], {"PostgreSQL_UTF8", true, true}};

class PartnersTest : public ScriptedProgramTest, public ::testing::WithParamInterface<BackendCase> {
 protected:
  void SetUp() override {
    if (GetParam().postgres && sources->pgServer.empty()) GTEST_SKIP() << "ZELK_TEST_PG_DSN is not set";
    if (GetParam().utf8 && sources->pgUtf8Server.empty()) GTEST_SKIP() << "ZELK_TEST_PG_UTF8_DSN is not set";
    std::string problem;
    ASSERT_FALSE(emptySource(GetParam(), problem).empty()) << problem;
    ScriptedProgramTest::SetUp();
    started_ = true;
    dict::NAME_D.clear();
    dict::PAR_AD = 0;
    dict::PAR_AK = 0;
    dict::DT_SCHET_A.clear();
    dict::KT_SCHET_A.clear();
  }
  void TearDown() override {
    if (!started_) return;
    if (partners_.isOpen()) partners_.close();
    if (analit_.isOpen()) analit_.close();
    ScriptedProgramTest::TearDown();
  }

  // Another station's connection to the two tables.
  template <class R>
  static storage::TypedFile<R>& opened(storage::TypedFile<R>& f) {
    if (!f.isOpen()) {
      EXPECT_EQ(f.open(storage::mode::kReadWrite | storage::mode::kDenyNone), 0);
    }
    return f;
  }
  void addPartner(std::string_view code, std::string_view shortName, std::string_view orgName = {}) {
    auto& f = opened(partners_);
    f.clearBuffer();
    f.rec.FLD_CODE = ansi(code);
    f.rec.SHORTNAME = ansi(shortName);
    f.rec.ORGNAME = ansi(orgName);
    ASSERT_EQ(f.add(), 0) << storage::lastError().fileText;
  }
  void addRegistration(std::string_view account, std::string_view code) {
    auto& f = opened(analit_);
    f.clearBuffer();
    f.rec.SCHET = account;
    f.rec.FLD_CODE = code;
    ASSERT_EQ(f.add(), 0) << storage::lastError().fileText;
  }
  // Every partner in the order of its code.
  std::vector<Partner> partnersOnDisk() {
    auto& f = opened(partners_);
    std::vector<Partner> out;
    if (f.set(dict::par::FULLCODE) != 0) return out;
    while (f.next() == 0)
      out.push_back({cp::toUtf8(f.rec.FLD_CODE.str()), cp::toUtf8(f.rec.SHORTNAME.str()), cp::toUtf8(f.rec.ORGNAME.str())});
    return out;
  }
  // Every registration in the order of account and code.
  std::vector<Registration> registrationsOnDisk() {
    auto& f = opened(analit_);
    std::vector<Registration> out;
    if (f.set(dict::ana::KEY_CODE) != 0) return out;
    while (f.next() == 0) {
      const dict::AnaRecord& r = f.rec;
      out.push_back({cp::toUtf8(r.SCHET.str()), cp::toUtf8(r.FLD_CODE.str()), cp::toUtf8(r.NAME.str()),
                     cp::toUtf8(r.KEY.str()), cp::toUtf8(r.USER_CODE.str()), r.CRC, r.NNOPER, r.GRUP_SCHET.get(),
                     r.ID_ST.get()});
    }
    return out;
  }

  // A column of the partner list (UTF-8, trimmed): 0 the code, 1 the name.
  static std::vector<std::string> column(ui::Window& w, int column = 0) {
    std::vector<std::string> out;
    for (const ui::Window::Row& r : w.rows(w.number("?BROWSE:1"))) out.push_back(cp::toUtf8(trimRight(r.at(column))));
    return out;
  }

 private:
  bool started_ = false;
  storage::TypedFile<dict::ParRecord> partners_{dict::PARTNER_DECL};
  storage::TypedFile<dict::AnaRecord> analit_{dict::ANALIT_DECL};
};

}  // namespace zelk::test
