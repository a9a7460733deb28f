// S_FIR: the firm choice. Its refresh takes the firm with the code FIR over from
// F_NAME into the program-wide variables, from which the file managers take the
// firm's file names.
#include "app/patterns/controls.h"
#include "app/patterns/window.h"
#include "app/patterns/procedures.h"
#include "dictionary/declarations.h"
#include "dictionary/files.h"
#include "dictionary/globals.h"
#include "dictionary/managers.h"
#include "firms/firms.h"
#include "platform/core/codepage.h"
#include "platform/ui/window.h"

namespace zelk::firms {
namespace {

using app::Ctl;
using ui::Kind;

ui::WindowDef definition(Text<50>& nFir) {
  ui::WindowDef d;
  d.key = "ZELK$zelk007";
  d.label = "WINDOW";
  d.title = ansi("Выбор фирмы для иморта");
  d.icon = "QVT5.ICO";
  d.at = {5, 5, 219, 51};
  d.controls = {
      Ctl(Kind::String, "?STRING1", {8, 8, 72, 10}).text("Введите код фирмы:"),
      Ctl(Kind::Entry, "?FIR", {82, 7, 24, 11})
          .picture("n3b")
          .use(ui::useNumber(dict::FIR))
          .attrs(ui::kImmediate | ui::kRequired),
      Ctl(Kind::Button, "?BUTTON3", {116, 5, 95, 15}).text("Выбрать из списка"),
      Ctl(Kind::String, "?N_FIR", {8, 23, 203, 10}).picture("s50").use(ui::use(nFir)),
      Ctl(Kind::Button, "?BUTTON4", {70, 34, 80, 15}).text("Запуск системы").attrs(ui::kHidden).font("MS Sans Serif"),
      Ctl(Kind::Button, "?OKBUTTON", {156, 34, 26, 15}).text("&OK").attrs(ui::kHidden),
      Ctl(Kind::Button, "?CANCELBUTTON", {185, 34, 26, 15}).text("&Cancel").attrs(ui::kHidden),
  };
  return d;
}

app::WindowSetup windowSetup() {
  app::WindowSetup s;
  s.procedureName = "s_fir";
  s.files = {[]() -> fw::RelationManager* { return dict::Relate::F_NAME; }};
  return s;
}

class ThisWindow : public app::WindowPattern {
 public:
  ThisWindow(ui::Window& w, Text<50>& nFir) : WindowPattern(w, windowSetup()), nFir_(nFir) {}

  void RefreshValues() override {
    found_ = takeFirm(nFir_);
    // Once shown the start button stays, whatever the code becomes.
    if (dict::FIR != 0) win().unhide(start_);
  }

  std::uint8_t TakeAccepted() override {
    if (field() == chooseFromList_) {
      dict::FIR = 0;
      nFir_.clear();
    }
    std::uint8_t r = WindowPattern::TakeAccepted();
    if (field() == chooseFromList_) {
      Update();
      FNM_TAB();
      Reset(false);
    } else if (field() == start_) {
      // The code typed last is taken over first, and the import menu runs only on
      // a firm that exists: never with the code of one firm and the files of
      // another, nor on file names built from blank folders.
      Update();
      Reset(false);
      if (found_) {
        PostClose();  // taken once the import menu has returned
        app::procedure("S_ME")();
        Reset(false);
      }
    }
    return r;
  }

 protected:
  // Every opening starts with no firm, whatever was chosen before.
  void DefineListBoxStyle() override { dict::FIR = 0; }

 private:
  Text<50>& nFir_;
  const int chooseFromList_ = control("?BUTTON3");
  const int start_ = control("?BUTTON4");
  bool found_ = false;  // the last refresh found the firm
};

}  // namespace

std::string firmFileName(std::string_view folder, std::string_view file) {
  std::string name(trimRight(folder));
  name += '\\';
  name += file;
  return name;
}

bool takeFirm(Text<50>& name) {
  auto& f = dict::F_NAME();
  f.rec.KOD = dict::FIR.load();
  bool found = f.get(dict::fnm::KEY_1) == storage::kNoError;
  if (!found) f.clearBuffer();
  const dict::FnmRecord& r = f.rec;
  name = r.NAME;
  dict::N_SC_B = r.SCH_B.view();
  dict::P_DBI = firmFileName(r.PATH.view(), "dbi.dbf");
  dict::P_PAR = firmFileName(r.PATH.view(), "partner.dbf");
  dict::P_ANA = firmFileName(r.PATH.view(), "analit.dbf");
  dict::P_PRT = firmFileName(r.PATH.view(), "prt.dat");
  dict::P_LVO = firmFileName(r.PATH.view(), "lvo.dat");
  dict::RFKPATH = firmFileName(r.RFKPATH.view(), "subs_clt.dbf");
  dict::P_PLN = firmFileName(r.PATH_PLN.view(), "pln.dat");
  dict::N_SC_P = r.N_SC_P.view();
  dict::N_FIR_A = r.NAME.view();
  dict::N_KL_A = r.N_KL.get();
  return found;
}

void S_FIR() {
  Text<50> nFir;
  ui::Window window(definition(nFir));
  ThisWindow thisWindow(window, nFir);
  app::respond(thisWindow);
}

}  // namespace zelk::firms
