// DBI_TAB: the postings list, every posting of DBI in record order with its
// counterparty text, and beneath it the firm, the incoming balance, the turnovers,
// the balance and the row count.
#include <optional>

#include "app/patterns/controls.h"
#include "app/patterns/list.h"
#include "dictionary/files.h"
#include "dictionary/globals.h"
#include "dictionary/managers.h"
#include "platform/core/codepage.h"
#include "platform/framework/bind.h"
#include "platform/framework/filemanager.h"
#include "platform/ui/window.h"
#include "review/postings.h"
#include "review/totals.h"

namespace zelk::review {
namespace {

using app::Ctl;
using ui::Kind;

// The values of one call.
struct Locals {
  RowFigures row;  // N_PART, S_DT, S_KT of the row read last or highlighted
  Totals totals;   // N_STR, S_DT_T, S_KT_T
  double SAL = 0;
  bool balanceRead = true;  // false: the balance line and SAL show no figure
  std::size_t debitColumn = 0, creditColumn = 0;  // of S_DT and S_KT in the list's rows
};

// The date and the two account columns are a little wider than the purpose leaves
// them, so that a whole date and a ten-character account show in the screen's font;
// the purpose column is narrower, so that the eight columns fit the list without a
// scroll bar.
constexpr const char* kFormat =
    "46L(2)|M~Дата~@d17@27L(2)|M~№ док.~@s6@49L(2)|M~Сч.Дебет~@s10@39L(5)|M~Анал.Деб.~L(2)@s6@"
    "49L(1)|M~Сч.Кредит~L(2)@s10@43L(6)|M~Анал.Кред.~L(2)@s6@45L(2)|M~Сумма~@n_10.2@"
    "174L(2)|M~Наименование операции~@s50@";

ui::Use dayNumber(Int32& v) {
  ui::Use u = ui::use(v);
  u.type = ui::Use::Type::Date;
  return u;
}

ui::WindowDef definition(Locals& l) {
  dict::LvoRecord& lvo = dict::LVO().rec;
  ui::WindowDef d;
  d.key = "ZELK$zelk012";
  d.label = "QUICKWINDOW";
  d.title = ansi("Дополнительная обработка по импорту");
  d.icon = "QVT5.ICO";
  d.at = {ui::kDefaultPosition, ui::kDefaultPosition, 492, 270};
  d.resizable = true;
  auto figure = [](const char* name, const char* picture, ui::Use u, ui::Rect at) {
    return Ctl(Kind::String, name, at).picture(picture).use(std::move(u));
  };
  d.controls = {
      Ctl(Kind::List, "?BROWSE:1", {8, 20, 476, 144})
          .tip("Browsing the Dbi file")
          .attrs(ui::kImmediate | ui::kVScroll | ui::kHScroll)
          .format(kFormat),
      app::selectButton("&Select", {8, 172, 60, 15}).attrs(ui::kHidden),
      app::viewButton("&View", {8, 172, 60, 15}).attrs(ui::kHidden),
      app::insertButton("&Insert", {8, 172, 60, 15}).attrs(ui::kHidden),
      app::changeButton("&Редактировать", {8, 174, 64, 15}),
      Ctl(Kind::Group, "?GROUP1", {80, 166, 404, 30}).text("Корреспондент  по аналитическому учету"),
      figure("?N_PART", "s60", ui::use(l.row.N_PART), {86, 179, 392, 10}).parent("?GROUP1"),
      app::deleteButton("&Delete", {8, 172, 60, 15}).attrs(ui::kHidden),
      Ctl(Kind::Sheet, "?CURRENTTAB", {4, 4, 484, 198}),
      Ctl(Kind::Tab, "?TAB:2").parent("?CURRENTTAB"),
      figure("?N_FIR_A", "s50", ui::use(dict::N_FIR_A), {8, 208, 240, 10}),
      Ctl(Kind::String, "?STRING8", {8, 222, 80, 10}).text("Входящий остаток на :"),
      figure("?LVO:DATA", "D6", dayNumber(lvo.DATA), {90, 222, 44, 10}),
      figure("?LVO:OST", "n-18.2", ui::use(lvo.OST), {136, 222, 76, 10}),
      app::closeButton("&Закрыть", {434, 248, 50, 15}),
      app::helpButton({380, 248, 50, 15}),
      // Wide enough for the most rows the list can hold (Totals::rows).
      figure("?N_STR", "n_10", ui::useNumber(l.totals.rows), {292, 250, 44, 10}),
      Ctl(Kind::String, "?STRING4", {8, 236, 70, 10}).text("Обороты По дебету:"),
      figure("?S_DT_T", "n18.2", ui::useNumber(l.totals.debit), {80, 236, 76, 10}),
      Ctl(Kind::String, "?STRING6", {166, 236, 44, 10}).text("По кредиту:"),
      figure("?S_KT_T", "n18.2", ui::useNumber(l.totals.credit), {212, 236, 76, 10}),
      Ctl(Kind::String, "?STRING11", {8, 250, 70, 10}).text("Сальдо:"),
      figure("?SAL", "n-18.2", ui::useNumber(l.SAL), {80, 250, 76, 10}),
      Ctl(Kind::String, "?STRING1", {240, 250, 50, 10}).text("Всего строк:"),
  };
  return d;
}

fw::RelationManager* relateDbi() { return dict::Relate::DBI; }

app::WindowSetup windowSetup() {
  app::WindowSetup s;
  s.procedureName = "Dbi_tab";
  s.files = {relateDbi, [] { return dict::Relate::LVO; }, [] { return dict::Relate::PLN; },
             [] { return dict::Relate::PRT; }};
  s.firstField = "?BROWSE:1";
  s.resizer = app::WindowSetup::Resize{2, true, false};
  return s;
}

app::ListSetup listSetup() {
  app::ListSetup l = app::ListSetup::standardControls();
  l.hideSelect = true;
  l.fileLoaded = true;
  l.relate = relateDbi;
  l.file = []() -> storage::File& { return dict::DBI(); };
  l.updateForm = UPDATEDBI;
  return l;
}

class Brw1 : public app::ListBrowse {
 public:
  // A filling reads the whole file: its driver may read ahead in large blocks.
  Brw1(Locals& l, ui::Window& w) : locals_(l), window_(w) { QuickScan = true; }

  // A filling reads a counterparty row for every posting: the file's lock is held
  // from the first row to the end of the filling (or of the event), so that the rows
  // are read without locking and checking the file once each.
  std::uint8_t ValidateRecord() override {
    if (!counterpartiesLocked_) counterpartiesLocked_ = dict::PRT().lock() == 0;
    if (!computeRow(locals_.row) && !counterpartiesUnread_) counterpartiesUnread_ = storage::lastError();
    return ListBrowse::ValidateRecord();
  }
  void unlockCounterparties() {
    if (counterpartiesLocked_) dict::PRT().unlock();
    counterpartiesLocked_ = false;
  }
  // The rows whose counterparty row could not be read show a blank text: said once
  // for the event (message 31, with the first failure).
  void reportUnreadCounterparties() {
    if (!counterpartiesUnread_) return;
    storage::setLastError(*counterpartiesUnread_);
    counterpartiesUnread_.reset();
    dict::Relate::PRT->Me->Throw(fw::msg::kReadFailed);
  }

  // ImportTotals, after every filling anew: the count and turnovers of the rows the
  // filling read, which carry each posting's amounts by status.
  void ResetFromView() override {
    unlockCounterparties();
    ui::WaitCursor wait(&window_);
    locals_.totals = importTotals(Queue(), locals_.debitColumn, locals_.creditColumn);
    ListBrowse::ResetFromView();
  }

 private:
  Locals& locals_;
  ui::Window& window_;
  bool counterpartiesLocked_ = false;
  std::optional<storage::ErrorState> counterpartiesUnread_;
};

class ThisWindow : public app::ListPattern {
 public:
  ThisWindow(ui::Window& w, Brw1& brw, Locals& l)
      : ListPattern(w, windowSetup(), listSetup(), brw),
        brw_(brw),
        locals_(l),
        balanceFigures_{control("?LVO:DATA"), control("?LVO:OST"), control("?SAL")} {}

  // No counterparty lock outlives the event that took it.
  std::uint8_t TakeEvent() override {
    const std::uint8_t r = ListPattern::TakeEvent();
    brw_.unlockCounterparties();
    brw_.reportUnreadCounterparties();
    return r;
  }

  void RefreshValues() override {
    if (locals_.balanceRead) locals_.SAL = balance(dict::LVO().rec.OST, locals_.totals);
  }

 protected:
  void BindNames() override {
    fw::bindName("n_part", {nullptr, nullptr, [this] { return locals_.row.N_PART.str(); }, {}});
    fw::bindName("s_dt", {nullptr, nullptr, {}, [this] { return locals_.row.S_DT; }});
    fw::bindName("s_kt", {nullptr, nullptr, {}, [this] { return locals_.row.S_KT; }});
  }

  // The balance record, read once when the files are open. One that cannot be read
  // is reported (message 31), and no figure is shown from it.
  std::uint8_t PrepareRecord() override {
    locals_.balanceRead = readBalance();
    if (!locals_.balanceRead) dict::Relate::LVO->Me->Throw(fw::msg::kReadFailed);
    return 0;
  }
  void AfterOpen() override {
    ListPattern::AfterOpen();
    if (locals_.balanceRead) return;
    for (int figure : balanceFigures_) win().hide(figure);
  }

  void AddFields() override {
    dict::DbiRecord& r = dict::DBI().rec;
    for (ui::Use u : {ui::use(r.DATAOPER), ui::use(r.NNDOC), ui::use(r.DT_SCHET), ui::use(r.DT_CODE),
                      ui::use(r.KT_SCHET), ui::use(r.KT_CODE), ui::use(r.SUMMA), ui::use(r.NAMEOPER),
                      ui::use(locals_.row.N_PART)})
      BRW1.AddField(std::move(u));
    locals_.debitColumn = Queue.columns().size();
    BRW1.AddField(ui::useNumber(locals_.row.S_DT));
    locals_.creditColumn = Queue.columns().size();
    BRW1.AddField(ui::useNumber(locals_.row.S_KT));
  }

 private:
  Brw1& brw_;
  Locals& locals_;
  const int balanceFigures_[3];  // ?LVO:DATA, ?LVO:OST, ?SAL
};

}  // namespace

void DBI_TAB() {
  Locals locals;
  ui::Window window(definition(locals));
  Brw1 brw(locals, window);
  ThisWindow thisWindow(window, brw, locals);
  app::respond(thisWindow);
}

}  // namespace zelk::review
