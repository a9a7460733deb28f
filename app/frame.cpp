#include "app/frame.h"

#include "app/patterns/controls.h"
#include "app/patterns/window.h"
#include "dictionary/managers.h"
#include "firms/firms.h"
#include "platform/core/codepage.h"
#include "platform/ui/window.h"

namespace zelk::app {
namespace {

using ui::Kind;

ui::WindowDef definition() {
  ui::WindowDef d;
  d.key = "ZELK$zelk001";
  d.label = "APPFRAME";
  d.kind = ui::WindowKind::AppFrame;
  d.title = ansi("Иморт выписок из систем Клиент-Банк");
  d.icon = "QVT5.ICO";
  d.wallpaper = "QVT8.BMP";
  d.at = {5, 5, 354, 152};
  d.resizable = true;
  d.maximizeBox = true;
  d.controls = {
      Ctl(Kind::MenuBar, "?MENUBAR"),
      Ctl(Kind::Menu, "?FILEMENU").text("&Настройки").parent("?MENUBAR"),
      Ctl(Kind::Item, "?PRINTSETUP")
          .text("&Выбор принтера")
          .tip("Setup printer")
          .parent("?FILEMENU")
          .action(ui::StdAction::PrintSetup),
      Ctl(Kind::Item, "?НАСТРОЙКИНАСТРОЙКАПУТЕЙКБАЗЕ").text("Настройка фирм и путей к базам ЗЕЛК").parent("?FILEMENU"),
      Ctl(Kind::Item, "?EXIT").text("Выход").tip("Exit this application").parent("?FILEMENU").action(ui::StdAction::Close),
      Ctl(Kind::Menu, "?EDITMENU").text("&Начало работы").parent("?MENUBAR"),
      Ctl(Kind::Item, "?PASTE").text("&Выбор фирмы для импорта").parent("?EDITMENU"),
  };
  return d;
}

WindowSetup windowSetup() {
  WindowSetup s;
  s.procedureName = "Main";
  s.files = {[]() -> fw::RelationManager* { return dict::Relate::F_NAME; }};
  s.resizer = WindowSetup::Resize{1, false, false};
  return s;
}

class ThisWindow : public WindowPattern {
 public:
  explicit ThisWindow(ui::Window& w) : WindowPattern(w, windowSetup()) {}

  // The menus' own items; the standard ones (printer set-up, exit) are the
  // framework's. A called window leaves nothing the frame shows changed.
  std::uint8_t TakeAccepted() override {
    if (field() == firmSettings_) firms::FNM_TAB();  // MENU::FILEMENU
    if (field() == firmChoice_) firms::S_FIR();      // MENU::EDITMENU
    return WindowPattern::TakeAccepted();
  }

 private:
  const int firmSettings_ = control("?НАСТРОЙКИНАСТРОЙКАПУТЕЙКБАЗЕ");
  const int firmChoice_ = control("?PASTE");
};

}  // namespace

// The frame holds F_NAME open for its whole life: it is opened on disk when the frame
// opens (and created empty on the first start) and closed when it closes.
void MAIN() {
  ui::Window window(definition());
  ThisWindow thisWindow(window);
  respond(thisWindow);
}

}  // namespace zelk::app
