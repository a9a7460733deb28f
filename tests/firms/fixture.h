#pragma once
// The firm procedures run by the scripted user over the program's layers, in a
// temporary current folder: the frame, the firm list, the firm form, the firm choice.
#include <cstdint>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "app/frame.h"
#include "app/patterns/procedures.h"
#include "dictionary/declarations.h"
#include "dictionary/files.h"
#include "dictionary/globals.h"
#include "dictionary/managers.h"
#include "firms/firms.h"
#include "platform/core/codepage.h"
#include "platform/framework/windowmanager.h"
#include "platform/script/scripted_user.h"
#include "support/files.h"
#include "support/scripted.h"

namespace zelk::test {

// Window titles (UTF-8).
inline constexpr const char* kFrameTitle = "Иморт выписок из систем Клиент-Банк";
inline constexpr const char* kListTitle = "Настройка фирм для иморта";
inline constexpr const char* kChoiceTitle = "Выбор фирмы для иморта";
inline constexpr const char* kSettingsItem = "?НАСТРОЙКИНАСТРОЙКАПУТЕЙКБАЗЕ";

// A firm as the tests write and read it (UTF-8).
struct Firm {
  int code = 0;
  std::string name, path, pathPln, schB, rfkPath, nScP;
  int nKl = 0;
  bool operator==(const Firm&) const = default;
};

inline std::ostream& operator<<(std::ostream& os, const Firm& f) {
  return os << "{" << f.code << ", " << f.name << ", " << f.path << ", " << f.pathPln << ", " << f.schB << ", "
            << f.rfkPath << ", " << f.nScP << ", " << f.nKl << "}";
}

class FirmsTest : public ScriptedProgramTest {
 protected:
  void SetUp() override {
    ScriptedProgramTest::SetUp();
    dict::FIR = 0;
  }
  void TearDown() override {
    if (other.isOpen()) other.close();
    ScriptedProgramTest::TearDown();
  }


  // The window procedures, with F_NAME held open as the frame holds it.
  void withFrameFile(const std::function<void()>& run) {
    dict::Relate::F_NAME->Open();
    run();
    dict::Relate::F_NAME->Close();
  }
  std::uint8_t runList() {
    withFrameFile(firms::FNM_TAB);
    return dict::GLOBALRESPONSE;
  }
  std::uint8_t runChoice() {
    withFrameFile(firms::S_FIR);
    return dict::GLOBALRESPONSE;
  }

  // Firms written and read by another station, through the file statements.
  void openOther() {
    if (!other.isOpen()) {
      if (!std::filesystem::exists(dir / "F_NAME.DAT")) withFrameFile([] {});  // created empty
      ASSERT_EQ(other.open(storage::mode::kReadWrite | storage::mode::kDenyNone), 0);
    }
  }
  void addFirm(const Firm& f) {
    openOther();
    other.clearBuffer();
    other.rec.KOD = static_cast<std::int16_t>(f.code);
    other.rec.NAME = ansi(f.name);
    other.rec.PATH = ansi(f.path);
    other.rec.PATH_PLN = ansi(f.pathPln);
    other.rec.SCH_B = ansi(f.schB);
    other.rec.RFKPATH = ansi(f.rfkPath);
    other.rec.N_SC_P = ansi(f.nScP);
    other.rec.N_KL = static_cast<std::uint8_t>(f.nKl);
    ASSERT_EQ(other.add(), 0);
  }
  void addFirm(int code, std::string name, std::string path = "c:\\zelk\\base") {
    Firm f;
    f.code = code;
    f.name = std::move(name);
    f.path = std::move(path);
    addFirm(f);
  }
  // Every firm in the order of the code.
  std::vector<Firm> firmsOnDisk() {
    openOther();
    std::vector<Firm> out;
    if (other.set(dict::fnm::KEY_1) != 0) return out;
    while (other.next() == 0) {
      const dict::FnmRecord& r = other.rec;
      out.push_back({r.KOD.get(), cp::toUtf8(r.NAME.str()), cp::toUtf8(r.PATH.str()), cp::toUtf8(r.PATH_PLN.str()),
                     cp::toUtf8(r.SCH_B.str()), cp::toUtf8(r.RFKPATH.str()), cp::toUtf8(r.N_SC_P.str()),
                     r.N_KL.get()});
    }
    return out;
  }
  std::string fileBytes(const std::string& name) const { return readAll(dir / name); }

  // A control's state.
  static bool hidden(ui::Window& w, std::string_view control) { return w.hidden(w.number(ansi(control))); }
  static bool disabled(ui::Window& w, std::string_view control) { return w.disabled(w.number(ansi(control))); }
  // The list's column of cells (UTF-8, trimmed).
  static std::vector<std::string> column(ui::Window& w, int column) {
    std::vector<std::string> out;
    for (const ui::Window::Row& r : w.rows(1)) {
      std::string_view v = trimRight(r[static_cast<std::size_t>(column)]);
      while (!v.empty() && v.front() == ' ') v.remove_prefix(1);
      out.push_back(cp::toUtf8(v));
    }
    return out;
  }

  template <std::size_t N>
  static std::string var(const SharedText<N>& v) {
    return cp::toUtf8(v.str());
  }

  storage::TypedFile<dict::FnmRecord> other{dict::F_NAME_DECL};
};

}  // namespace zelk::test
