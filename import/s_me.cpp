// S_ME: the import menu of the chosen firm. A menu bar over a wallpaper, no other
// control; only the import item of the firm's client-bank system is enabled.
#include "app/patterns/controls.h"
#include "app/patterns/window.h"
#include "app/patterns/procedures.h"
#include "dictionary/globals.h"
#include "import/windows.h"
#include "platform/core/codepage.h"
#include "platform/ui/window.h"

namespace zelk::import {
namespace {

using app::Ctl;
using ui::Kind;

ui::WindowDef definition() {
  ui::WindowDef d;
  d.key = "ZELK$zelk010";
  d.label = "MENUWINDOW";
  d.title = ansi("Реализация импорта");
  d.icon = "QVT5.ICO";
  d.wallpaper = "klient.gif";
  d.at = {0, 0, 260, 60};
  d.resizable = true;
  d.maximizeBox = true;
  d.controls = {
      Ctl(Kind::Menu, "?FILEMENU").text("&Локальный план счетов"),
      Ctl(Kind::Item, "?QQQT").text("Ввод-корректировка").parent("?FILEMENU"),
      Ctl(Kind::Menu, "?ИМПОРТ").text("Импорт"),
      Ctl(Kind::Menu, "?ИМПОРТВЫБОРСИСТЕМЫКЛИЕНТБАНК").text("Выбор системы Клиент-Банк").parent("?ИМПОРТ"),
      Ctl(Kind::Item, "?KL1").text("Клиент-Банк On-soft(Локо-Банк)").parent("?ИМПОРТВЫБОРСИСТЕМЫКЛИЕНТБАНК").attrs(ui::kDisabled),
      Ctl(Kind::Item, "?KL2").text("Клиент-Банк РФК").parent("?ИМПОРТВЫБОРСИСТЕМЫКЛИЕНТБАНК").attrs(ui::kDisabled),
      Ctl(Kind::Item, "?KL3").text("Клиент-Банк BSS").parent("?ИМПОРТВЫБОРСИСТЕМЫКЛИЕНТБАНК").attrs(ui::kDisabled),
      Ctl(Kind::Item, "?ИМПОРТРЕДАКТИРОВАНИЕТЕКУЩЕГОФАЙЛАПРОВОДОК")
          .text("Редактирование текущего файла проводок")
          .parent("?ИМПОРТ"),
  };
  return d;
}

app::WindowSetup windowSetup() {
  app::WindowSetup s;
  s.procedureName = "s_me";
  s.iniSection = "s_me";
  return s;
}

class ThisWindow : public app::WindowPattern {
 public:
  explicit ThisWindow(ui::Window& w) : WindowPattern(w, windowSetup()) {}

  // N_KL_A does not change while the menu is open, so an item once enabled stays so.
  void RefreshValues() override {
    switch (dict::N_KL_A.load()) {
      case 1: win().enable(loko_); break;
      case 2: win().enable(rfk_); break;
      case 3: win().enable(bss_); break;
      default: break;
    }
  }

  // The chart list and the postings list are found by name; until one stands, its
  // item does nothing.
  std::uint8_t TakeAccepted() override {
    const std::uint8_t r = WindowPattern::TakeAccepted();
    app::Procedure call;
    if (field() == chart_) call = app::procedure("PLN_TAB");
    else if (field() == loko_) call = LOKO;
    else if (field() == rfk_) call = KLIENTRFK;
    else if (field() == bss_) call = KLBSS;
    else if (field() == postings_) call = app::procedure("DBI_TAB");
    if (call) {
      Update();
      call();
      Reset(false);
    }
    return r;
  }

 private:
  const int chart_ = control("?QQQT");
  const int loko_ = control("?KL1"), rfk_ = control("?KL2"), bss_ = control("?KL3");
  const int postings_ = control("?ИМПОРТРЕДАКТИРОВАНИЕТЕКУЩЕГОФАЙЛАПРОВОДОК");
};

}  // namespace

void S_ME() {
  ui::Window window(definition());
  ThisWindow thisWindow(window);
  app::respond(thisWindow);
}

}  // namespace zelk::import
