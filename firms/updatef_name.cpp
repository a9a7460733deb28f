// UPDATEF_NAME: the firm form, one record of F_NAME for the firm list's request.
#include "app/patterns/controls.h"
#include "app/patterns/form.h"
#include "dictionary/files.h"
#include "dictionary/managers.h"
#include "firms/firms.h"
#include "platform/core/codepage.h"
#include "platform/ui/window.h"

namespace zelk::firms {
namespace {

using app::Ctl;
using ui::Kind;

class ThisWindow;

ui::WindowDef definition() {
  dict::FnmRecord& r = dict::F_NAME().rec;
  ui::WindowDef d;
  d.key = "ZELK$zelk004";
  d.label = "QUICKWINDOW";
  d.title = ansi("Ввод-корректировка фирм и путей к базам ЗЕЛК");
  d.icon = "QVT5.ICO";
  d.at = {ui::kDefaultPosition, ui::kDefaultPosition, 360, 250};
  auto onTab = [](Kind k, const char* name, ui::Rect at) { return Ctl(k, name, at).parent("?TAB:1"); };
  d.controls = {
      Ctl(Kind::Sheet, "?CURRENTTAB", {4, 4, 352, 220}),
      Ctl(Kind::Tab, "?TAB:1").parent("?CURRENTTAB"),
      onTab(Kind::String, "?STRING1", {12, 23, 46, 10}).text("Код фирмы:"),
      onTab(Kind::Entry, "?FNM:KOD", {58, 22, 24, 11}).picture("n3b").use(ui::use(r.KOD)).attrs(ui::kRequired),
      onTab(Kind::Entry, "?FNM:SCH_B", {262, 22, 84, 11}).picture("s20").use(ui::use(r.SCH_B)),
      onTab(Kind::Prompt, "?FNM:NAME:PROMPT", {12, 39, 92, 10}).text("Наименование фирмы:"),
      onTab(Kind::Entry, "?FNM:NAME", {106, 38, 240, 11}).picture("s50").use(ui::use(r.NAME)).attrs(ui::kRequired),
      onTab(Kind::Prompt, "?FNM:PATH:PROMPT", {12, 53, 92, 10}).text("Путь к базам:"),
      onTab(Kind::Entry, "?FNM:PATH", {106, 57, 240, 11}).picture("s60").use(ui::use(r.PATH)).attrs(ui::kRequired),
      onTab(Kind::String, "?STRING3", {12, 62, 92, 10}).text("ЗЕЛК"),
      onTab(Kind::String, "?STRING8", {12, 75, 92, 10}).text("Путь к общему плану:"),
      onTab(Kind::Entry, "?FNM:PATH_PLN", {106, 79, 240, 11}).picture("s60").use(ui::use(r.PATH_PLN)),
      onTab(Kind::String, "?STRING9", {12, 84, 92, 10}).text("счетов"),
      onTab(Kind::String, "?STRING2", {134, 23, 126, 10}).text("Расчетный счет(по плану счетов):"),
      onTab(Kind::Line, "?LINE1", {12, 99, 334, 0}),
      onTab(Kind::Option, "?FNM:N_KL", {12, 192, 334, 27}).text("Выбор системы Клиент-Банк").use(ui::use(r.N_KL)),
      Ctl(Kind::Radio, "?OPTION1:RADIO1", {24, 204, 100, 10}).text("On-soft(Локо-Банк)").value("1").parent("?FNM:N_KL"),
      Ctl(Kind::Radio, "?OPTION1:RADIO2", {150, 204, 60, 10}).text("РФК").value("2").parent("?FNM:N_KL"),
      Ctl(Kind::Radio, "?OPTION1:RADIO3", {236, 204, 60, 10}).text("BSS").value("3").parent("?FNM:N_KL"),
      onTab(Kind::String, "?STRING4", {12, 104, 200, 10}).text("Только для системы Клиент-Банк РФК:"),
      onTab(Kind::Entry, "?FNM:RFKPATH", {12, 116, 334, 11}).picture("s60").use(ui::use(r.RFKPATH)),
      onTab(Kind::String, "?STRING5", {12, 129, 334, 10})
          .text("путь к файлу платежей(пример C:\\xxx\\pay,где ххх-папка системы Клинт-Банк РФК)"),
      onTab(Kind::Entry, "?FNM:N_SC_P", {12, 160, 90, 11}).picture("s20").use(ui::use(r.N_SC_P)),
      onTab(Kind::String, "?STRING7", {12, 173, 334, 10})
          .text("расчетный счет фирмы в банке(20зн.-вводите без ошибок!!!)"),
      onTab(Kind::Line, "?LINE3", {12, 143, 334, 0}),
      onTab(Kind::String, "?STRING6", {12, 148, 200, 10}).text("Только для системы Клиент-Банк BSS:"),
      onTab(Kind::Line, "?LINE2", {12, 187, 334, 0}),
      app::okButton({246, 230, 52, 15}),
      app::cancelButton({302, 230, 52, 15}),
      app::helpButton({8, 230, 52, 15}),
  };
  return d;
}

app::WindowSetup windowSetup() {
  return app::formWindowSetup("Updatef_name", {[]() -> fw::RelationManager* { return dict::Relate::F_NAME; }},
                              "?STRING1");
}

app::FormSetup formSetup() {
  app::FormSetup f;
  f.access = []() -> fw::FileManager* { return dict::Access::F_NAME; };
  f.relate = []() -> fw::RelationManager* { return dict::Relate::F_NAME; };
  f.history = app::historyOf<ThisWindow>;
  f.historyFields = {
      {"?FNM:KOD", "KOD"},         {"?FNM:SCH_B", "SCH_B"},     {"?FNM:NAME", "NAME"},
      {"?FNM:PATH", "PATH"},       {"?FNM:PATH_PLN", "PATH_PLN"}, {"?FNM:N_KL", "N_KL"},
      {"?FNM:RFKPATH", "RFKPATH"}, {"?FNM:N_SC_P", "N_SC_P"},
  };
  f.okControl = "?OK";
  f.viewTitle = ansi("Просмотр записи");
  // The option box stays selectable in view mode; nothing chosen there is saved.
  f.readOnlyInView = {"?FNM:KOD", "?FNM:SCH_B", "?FNM:NAME", "?FNM:PATH", "?FNM:PATH_PLN", "?FNM:RFKPATH",
                      "?FNM:N_SC_P"};
  return f;
}

class ThisWindow : public app::FormPattern {
 public:
  explicit ThisWindow(ui::Window& w) : FormPattern(w, windowSetup(), formSetup()) {}
};

}  // namespace

void UPDATEF_NAME() {
  ui::Window window(definition());
  ThisWindow thisWindow(window);
  app::respond(thisWindow);
}

}  // namespace zelk::firms
