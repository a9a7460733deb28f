#include "demo_windows.h"

#include "platform/core/codepage.h"
#include "platform/core/numtext.h"

namespace zelk::test {

using ui::ControlDef;
using ui::Kind;
using ui::Rect;

namespace {

ControlDef c(Kind k, const char* name, const char* text, Rect at, int parent = 0) {
  ControlDef d;
  d.kind = k;
  d.name = name;
  d.text = ansi(text);
  d.at = at;
  d.parent = parent;
  return d;
}

constexpr const char* kListFormat =
    "30R(2)|M~Код~C(0)@n_6@100L(2)|M~Наименование~L(2)@s40@62R(2)|~Сумма~R(2)@n-14.2@46C~Дата~C@d6@";

}  // namespace

ui::WindowDef firmForm(FormVars& v) {
  ui::WindowDef w;
  w.key = "ZELK$test01";
  w.label = "WINDOW";
  w.title = ansi("Ввод-корректировка фирмы");
  w.at = {ui::kDefaultPosition, ui::kDefaultPosition, 260, 250};
  auto& cs = w.controls;
  cs.push_back(c(Kind::Prompt, "?KOD:Prompt", "&Код:", {8, 8, 44, 10}));
  ControlDef code = c(Kind::Entry, "?KOD", "", {60, 8, 40, 10});
  code.picture = "n_6";
  code.use = ui::useNumber(v.code);
  cs.push_back(code);
  cs.push_back(c(Kind::Prompt, "?NAME:Prompt", "&Наименование:", {8, 22, 50, 10}));
  ControlDef name = c(Kind::Entry, "?NAME", "", {60, 22, 190, 10});
  name.picture = "s40";
  name.use = ui::use(v.name);
  cs.push_back(name);
  cs.push_back(c(Kind::Sheet, "?SHEET", "", {8, 38, 244, 64}));
  cs.push_back(c(Kind::Tab, "?TAB1", "&Реквизиты", {}, form::kSheet));
  cs.push_back(c(Kind::Prompt, "?BANK:Prompt", "Банк:", {16, 58, 40, 10}, form::kTab1));
  ControlDef bank = c(Kind::Entry, "?BANK", "", {60, 58, 180, 10}, form::kTab1);
  bank.picture = "s30";
  bank.use = ui::use(v.bank);
  bank.attrs = ui::kDisabled;
  cs.push_back(bank);
  cs.push_back(c(Kind::Tab, "?TAB2", "&Система", {}, form::kSheet));
  ControlDef kind = c(Kind::Option, "?KIND", "Клиент-банк", {16, 54, 228, 40}, form::kTab2);
  kind.use = ui::use(v.kind);
  cs.push_back(kind);
  ControlDef loko = c(Kind::Radio, "?KIND:Radio1", "Локо-Банк", {24, 66, 90, 10}, form::kKind);
  loko.value = "1";
  cs.push_back(loko);
  ControlDef rfk = c(Kind::Radio, "?KIND:Radio2", "РФК", {24, 78, 90, 10}, form::kKind);
  rfk.value = "2";
  cs.push_back(rfk);
  cs.push_back(c(Kind::Group, "?TOTALS", "Итоги", {8, 106, 244, 26}));
  ControlDef count = c(Kind::String, "?COUNT", "", {60, 117, 50, 10}, form::kTotals);
  count.picture = "n_9";
  count.use = ui::useNumber(v.postings);
  cs.push_back(count);
  cs.push_back(c(Kind::Line, "?LINE", "", {8, 137, 244, 0}));
  ControlDef list = c(Kind::List, "?LIST", "", {8, 142, 244, 84});
  list.format = ansi(kListFormat);
  list.attrs = ui::kVScroll;
  cs.push_back(list);
  ControlDef ok = c(Kind::Button, "?OK", "&OK", {146, 232, 50, 14});
  ok.attrs = ui::kDefault;
  cs.push_back(ok);
  cs.push_back(c(Kind::Button, "?CLOSE", "&Закрыть", {202, 232, 50, 14}));
  ControlDef help = c(Kind::Button, "?HELP", "&Help", {8, 232, 50, 14});
  help.attrs = ui::kHidden;
  cs.push_back(help);
  cs.push_back(c(Kind::Prompt, "?COUNT:Prompt", "Проводок:", {16, 117, 44, 10}, form::kTotals));
  return w;
}

ui::WindowDef appFrame() {
  ui::WindowDef w;
  w.key = "ZELK$test02";
  w.label = "APPFRAME";
  w.kind = ui::WindowKind::AppFrame;
  w.title = ansi("Иморт выписок из систем Клиент-Банк");
  w.at = {ui::kDefaultPosition, ui::kDefaultPosition, 420, 220};
  w.resizable = true;
  w.maximizeBox = true;
  w.wallpaper = "LEDGER";
  auto& cs = w.controls;
  cs.push_back(c(Kind::MenuBar, "?MENUBAR", "", {}));
  cs.push_back(c(Kind::Menu, "?FILE", "&Файл", {}, frame::kBar));
  cs.push_back(c(Kind::Item, "?CHOOSE", "&Выбор фирмы", {}, frame::kFile));
  cs.push_back(c(Kind::Item, "?SEP", "", {}, frame::kFile));
  cs.push_back(c(Kind::Item, "?EXIT", "В&ыход", {}, frame::kFile));
  cs.push_back(c(Kind::Menu, "?IMPORT", "&Импорт", {}, frame::kBar));
  cs.push_back(c(Kind::Menu, "?BANKS", "&Клиент-Банк", {}, frame::kImport));
  cs.push_back(c(Kind::Item, "?LOKO", "&Локо-Банк", {}, frame::kBanks));
  cs.push_back(c(Kind::Item, "?RFK", "&РФК", {}, frame::kBanks));
  cs.push_back(c(Kind::Item, "?REVIEW", "&Просмотр проводок", {}, frame::kImport));
  return w;
}

ui::WindowDef listWindow(const std::string& title) {
  ui::WindowDef w;
  w.key = "ZELK$test03";
  w.label = "QUICKWINDOW";
  w.title = ansi(title);
  w.at = {ui::kDefaultPosition, ui::kDefaultPosition, 300, 160};
  w.resizable = true;
  ControlDef list = c(Kind::List, "?LIST", "", {4, 4, 292, 132});
  list.format = ansi(kListFormat);
  list.attrs = ui::kVScroll;
  w.controls.push_back(list);
  w.controls.push_back(c(Kind::String, "?COUNTER", "", {4, 142, 120, 10}));
  w.controls.push_back(c(Kind::Button, "?CLOSE", "&Закрыть", {242, 140, 54, 14}));
  return w;
}

std::vector<ui::Window::Row> listRows(int count, int from) {
  static const char* const kNames[] = {"ООО «Ромашка»", "АО Северсталь", "ИП Иванов И.И.", "ЗАО Техноснаб",
                                       "ООО Вектор-Плюс"};
  std::vector<ui::Window::Row> rows;
  rows.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    int n = from + i;
    std::string sum = numberText(n * 137L % 100000) + "." + numberText(10 + n % 90);
    rows.push_back({numberText(n), ansi(kNames[n % 5]), sum, "01/0" + numberText(1 + n % 9) + "/2005"});
  }
  return rows;
}

}  // namespace zelk::test
