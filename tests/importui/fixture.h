#pragma once
// The import menu and the import windows run by the scripted user over a firm's
// files in a temporary folder (the importers' fixture), with the settings file there.
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "dictionary/globals.h"
#include "import/windows.h"
#include "platform/framework/ini.h"
#include "platform/framework/windowmanager.h"
#include "platform/script/scripted_user.h"
#include "tests/import/fixture.h"

namespace zelk::test {

// Window titles (UTF-8).
inline constexpr const char* kMenuTitle = "Реализация импорта";
inline constexpr const char* kLokoTitle = "Предварительный импорт Локо-Банк";
inline constexpr const char* kRfkTitle = "Предварительный импорт-Клиент-Банк РФК";
inline constexpr const char* kBssTitle = "Предварительный импорт Клиент-Банка BSS";
inline constexpr const char* kPostingsListTitle = "Дополнительная обработка по импорту";

// The scripted user, also noting every text the counter showed.
class CountingUser : public script::ScriptedUser {
 public:
  void changed(ui::Window& w, int ctl) override {
    if (ctl > 0 && w.exists(ctl) && w.control(ctl).name == "?NS") {
      std::lock_guard g(m_);
      shown_.emplace_back(trimRight(w.text(ctl)));
    }
    ScriptedUser::changed(w, ctl);
  }
  std::vector<std::string> counterShown() const {
    std::lock_guard g(m_);
    return shown_;
  }
  void forget() {
    std::lock_guard g(m_);
    shown_.clear();
  }

 private:
  mutable std::mutex m_;
  std::vector<std::string> shown_;
};

class ImportUiTest : public ImportTest {
 protected:
  void SetUp() override {
    ImportTest::SetUp();
    fw::globalIni().Init(dir / "ZELK.INI", 0, 0);
    user.install();
    user.useBoxes(boxes);
  }
  void TearDown() override {
    user.uninstall();
    for (const std::string& f : user.failures()) ADD_FAILURE() << cp::toUtf8(f);
    ImportTest::TearDown();
  }

  // Steps on the window with this title (UTF-8), which they wait for.
  void on(std::string title, std::function<void(script::ScriptedUser&, ui::Window&)> step) {
    user.then([title = ansi(title), step = std::move(step)](script::ScriptedUser& u) { step(u, u.wait(title)); });
  }
  // The postings list that follows every run is closed when it stands.
  void closePostingsList() {
    user.then([](script::ScriptedUser& u) {
      ui::Window& w = u.window();
      if (w.title() == ansi(kPostingsListTitle)) u.close(w);
    });
  }

  // A control's shown text (UTF-8, without trailing blanks), its state.
  static std::string text(ui::Window& w, std::string_view control) {
    return cp::toUtf8(trimRight(w.text(w.number(ansi(control)))));
  }
  static bool hidden(ui::Window& w, std::string_view control) { return w.hidden(w.number(ansi(control))); }
  static bool disabled(ui::Window& w, std::string_view control) { return w.disabled(w.number(ansi(control))); }

  // What the files hold, with the window's files closed.
  template <class F>
  auto withFiles(F read) {
    openFiles();
    auto r = read();
    dict::Relate::PRT->Close();
    dict::Relate::LVO->Close();
    dict::Relate::DBI->Close();
    return r;
  }
  std::vector<std::string> purposes() {
    return withFiles([this] {
      std::vector<std::string> r;
      for (const dict::DbiRecord& p : postings()) r.push_back(utf8(p.NAMEOPER.view()));
      return r;
    });
  }
  std::vector<std::int32_t> rowNumbers() {
    return withFiles([this] {
      std::vector<std::int32_t> r;
      for (const dict::DbiRecord& p : postings()) r.push_back(static_cast<std::int32_t>(p.NNOPER.get()));
      return r;
    });
  }
  std::vector<std::string> rowNames() {
    return withFiles([this] {
      std::vector<std::string> r;
      for (const dict::PrtRecord& p : rows()) r.push_back(utf8(p.NAME.view()));
      return r;
    });
  }
  std::vector<std::pair<double, std::int32_t>> balanceRecords() {
    return withFiles([this] {
      std::vector<std::pair<double, std::int32_t>> r;
      for (const dict::LvoRecord& b : balances()) r.emplace_back(b.OST.get(), b.DATA.get());
      return r;
    });
  }
  // A previous run's postings, rows and balance (777 of day 7), alone in the files.
  void previous(int n) {
    withFiles([&] {
      EXPECT_FALSE(import::emptyFile(dict::DBI()));
      EXPECT_FALSE(import::emptyFile(dict::PRT()));
      previousRun(n);
      return 0;
    });
  }

  CountingUser user;
};

}  // namespace zelk::test
