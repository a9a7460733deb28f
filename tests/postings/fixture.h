#pragma once
// The postings review over a firm's real files in a temporary folder: postings and
// counterparty rows written by the importer or by hand, the chart fragment, the
// balance record; the list and the form run by the scripted user.
#include <string>
#include <thread>
#include <vector>

#include "app/patterns/procedures.h"
#include "app/startup.h"
#include "dictionary/declarations.h"
#include "review/postings.h"
#include "tests/importui/fixture.h"

namespace zelk::test {

inline constexpr const char* kFormTitle = "Изменить ???";

// A posting as the tests write it (UTF-8 texts).
struct Posting {
  double nnoper = 0;
  const char* nndoc = "";
  double summa = 0;
  const char* status = "";
  const char* purpose = "";
  std::int32_t date = 0;
  const char* dt = "";
  const char* kt = "";
};

class PostingsTest : public ImportUiTest {
 protected:
  void SetUp() override {
    ImportUiTest::SetUp();
    dict::P_PLN = dir / "pln.dat";
    dict::N_FIR_A = ansi("ООО Ромашка");
  }

  // The files as the postings list holds them (with the chart file).
  void openAll() {
    openFiles();
    ASSERT_EQ(dict::Relate::PLN->Open(), 0);
  }
  void closeAll() {
    dict::Relate::PLN->Close();
    dict::Relate::PRT->Close();
    dict::Relate::LVO->Close();
    dict::Relate::DBI->Close();
  }

  void addPosting(const Posting& p) {
    auto& f = dict::DBI();
    f.clearBuffer();
    f.rec.NNOPER = p.nnoper;
    f.rec.NNDOC = p.nndoc;
    f.rec.SUMMA = p.summa;
    f.rec.STATUS = p.status;
    f.rec.NAMEOPER = ansi(p.purpose);
    f.rec.DATAOPER = p.date;
    f.rec.DT_SCHET = p.dt;
    f.rec.KT_SCHET = p.kt;
    f.rec.NNOPER_D = 5;
    f.rec.NNOPER_K = 6;
    ASSERT_EQ(f.add(), 0);
  }
  void addRow(std::int16_t kod, const std::string& name) {
    auto& f = dict::PRT();
    f.clearBuffer();
    f.rec.KOD = kod;
    f.rec.NAME = ansi(name);
    ASSERT_EQ(f.add(), 0);
  }
  // A chart row of the current firm; its PLN:KOD.
  std::int16_t addAccount(const std::string& nomer) {
    auto& f = dict::PLN();
    f.clearBuffer();
    f.rec.KOD = ++chartRows_;
    f.rec.NOMER = nomer;
    EXPECT_EQ(f.add(), 0);
    return chartRows_;
  }
  // Files written in one go: postings, rows, chart rows, the balance.
  template <class F>
  void fill(F write) {
    openAll();
    write();
    closeAll();
  }

  // Work of another station: a thread of its own with its own files.
  static void elsewhere(const std::function<void()>& work) {
    std::thread other([&] {
      app::threadStart();
      work();
      app::threadEnd();
    });
    other.join();
  }

  // A step on the innermost window of the test's thread.
  void then(std::function<void(script::ScriptedUser&, ui::Window&)> step) {
    user.then([step = std::move(step)](script::ScriptedUser& u) { step(u, u.window()); });
  }
  static std::string title(ui::Window& w) { return cp::toUtf8(w.title()); }

  // The postings list, run on this thread.
  std::uint8_t runList() {
    review::DBI_TAB();
    return dict::GLOBALRESPONSE;
  }
  std::vector<dict::DbiRecord> postingsOnDisk() {
    openAll();
    std::vector<dict::DbiRecord> r = postings();
    closeAll();
    return r;
  }

  static std::vector<std::string> cells(ui::Window& w, int row) {
    std::vector<std::string> r;
    const std::vector<ui::Window::Row> rows = w.rows(w.number("?BROWSE:1"));
    for (const std::string& c : rows.at(static_cast<std::size_t>(row - 1)))
      r.push_back(cp::toUtf8(std::string(trimRight(c))));
    return r;
  }

 private:
  std::int16_t chartRows_ = 0;
};

}  // namespace zelk::test
