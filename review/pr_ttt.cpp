// PR_TTT and PR_TTT1: the partner register as the look-ups of the posting form's
// debit and credit analytics. Every partner in the order of its code, page by page;
// a search by name fragment; "Выбрать" leaves the highlighted partner's code as a
// number in the side's pick variable; view and add through the partner form. The two
// lists differ only by the table below.
#include <atomic>
#include <cstdint>

#include "app/patterns/controls.h"
#include "app/patterns/list.h"
#include "dictionary/declarations.h"
#include "dictionary/files.h"
#include "dictionary/globals.h"
#include "dictionary/managers.h"
#include "platform/core/codepage.h"
#include "platform/core/text.h"
#include "platform/framework/bind.h"
#include "platform/framework/casetables.h"
#include "platform/ui/window.h"
#include "review/partners.h"

namespace zelk::review {
namespace {

using app::Ctl;
using ui::Kind;

// What sets the two lists apart.
struct PartnerList {
  const char* key;                  // the window definition
  const char* name;                 // the procedure's name and its section of "ZELK.INI"
  std::atomic<std::int32_t>& pick;  // written by "Выбрать"
  bool defaultLineHeight;           // the list's rows at the font's height
  int width, sheetWidth, listWidth;
  ui::Rect resetButton;             // "Сброс результатов поиска"
};

// "Сброс результатов поиска" is wider than the definitions give it (80 and 76), so
// that its text shows whole in the screen's font; the lists keep their difference.
const PartnerList kDebitList{"ZELK$ZELK020", "pr_ttt", dict::PAR_AD, false, 399, 390, 380, {256, 17, 98, 14}};
const PartnerList kCreditList{"ZELK$ZELK024", "pr_ttt1", dict::PAR_AK, true, 384, 381, 373, {256, 18, 94, 14}};

// The code column is wider than the definition gives it (28), so that a code of six
// digits shows whole in the screen's font; the two columns keep their total width.
constexpr const char* kFormat = "36L(2)|M~Код~@s6@72L(2)|M~Наименование~C@s254@";

ui::WindowDef definition(const PartnerList& v) {
  ui::WindowDef d;
  d.key = v.key;
  d.label = "QUICKWINDOW";
  d.title = ansi("Список партнеров");
  d.icon = "QVT5.ICO";
  d.at = {ui::kDefaultPosition, ui::kDefaultPosition, v.width, 244};
  d.resizable = true;
  d.controls = {
      Ctl(Kind::String, "?STRING1", {8, 5, 190, 10}).text("Быстрый поиск по фрагменту имени партнера:"),
      Ctl(Kind::Entry, "?NAME_D", {8, 18, 196, 12}).picture("s50").use(ui::use(dict::NAME_D)),
      Ctl(Kind::Button, "?BUTTON8", {210, 17, 40, 14}).text("Поиск"),
      Ctl(Kind::Button, "?BUTTON9", v.resetButton).text("Сброс результатов поиска"),
      app::selectButton("Выбрать", {8, 224, 50, 15}),
      app::viewButton("Просмотреть", {62, 224, 56, 15}),
      app::insertButton("Добавить", {122, 224, 50, 15}),
      app::changeButton("&Change", {176, 224, 45, 15}).attrs(ui::kHidden),
      app::deleteButton("&Delete", {225, 224, 45, 15}).attrs(ui::kHidden),
      Ctl(Kind::Sheet, "?CURRENTTAB", {2, 34, v.sheetWidth, 186}),
      Ctl(Kind::Tab, "?TAB:2").parent("?CURRENTTAB"),
      Ctl(Kind::List, "?BROWSE:1", {6, 50, v.listWidth, 164})
          .tip("Browsing the partner file")
          .attrs(ui::kImmediate | ui::kHScroll | ui::kVScroll)
          .format(kFormat)
          .parent("?TAB:2"),
      app::closeButton("Закрыть", {326, 224, 50, 15}),
      app::helpButton({274, 224, 45, 15}),
  };
  return d;
}

app::WindowSetup windowSetup(const PartnerList& v) {
  app::WindowSetup s;
  s.procedureName = v.name;
  s.files = {[]() -> fw::RelationManager* { return dict::Relate::PARTNER; }};
  s.firstField = "?STRING1";
  s.resizer = app::WindowSetup::Resize{2, true, false};
  s.iniSection = v.name;
  return s;
}

app::ListSetup listSetup(const PartnerList& v) {
  app::ListSetup l = app::ListSetup::standardControls();
  l.usePopup = false;
  l.defaultLineHeight = v.defaultLineHeight;
  l.relate = []() -> fw::RelationManager* { return dict::Relate::PARTNER; };
  l.file = []() -> storage::File& { return dict::PARTNER(); };
  l.key = dict::par::FULLCODE;
  l.locator = app::ListSetup::Locator::Step;
  l.locatorField = [] { return ui::use(dict::PARTNER().rec.FLD_CODE); };
  l.locatorNoCase = false;
  l.fields = {
      [] { return ui::use(dict::PARTNER().rec.FLD_CODE); },
      [] { return ui::use(dict::PARTNER().rec.ORGNAME); },
      [] { return ui::use(dict::NAME_D); },
  };
  l.updateForm = UPDATEPARTNER1;
  return l;
}

// BRW1: a partner enters the list only when it passes the search by fragment. Its
// Update brings the record buffer in line with the highlighted row and leaves the
// fragment as typed (the row carries the one it was read with).
class Brw1 : public app::ListBrowse {
 public:
  void Update() override {
    Text<50> typed = dict::NAME_D.get();
    ListBrowse::Update();
    dict::NAME_D = typed.view();
  }
  std::uint8_t ValidateRecord() override {
    const dict::ParRecord& r = dict::PARTNER().rec;
    if (!partnerMatches(dict::NAME_D.get().view(), r.ORGNAME.view(), r.SHORTNAME.view())) return fw::record::kFiltered;
    return fw::ViewManager::ValidateRecord();
  }
};

class ThisWindow : public app::ListPattern {
 public:
  ThisWindow(ui::Window& w, const PartnerList& v, fw::BrowseClass& brw)
      : ListPattern(w, windowSetup(v), listSetup(v), brw),
        v_(v),
        search_(control("?BUTTON8")),
        reset_(control("?BUTTON9")),
        select_(list().selectControl.number()) {}

  // The case tables of the search, from "qvt.env", before the first row is read.
  std::uint8_t Init() override {
    fw::loadCaseTables();
    return ListPattern::Init();
  }

  std::uint8_t TakeAccepted() override {
    std::uint8_t r = ListPattern::TakeAccepted();
    int c = field();
    if (c == search_) {
      Update();
      BRW1.ResetFromBuffer();
    } else if (c == reset_) {
      Update();
      dict::NAME_D.clear();
      BRW1.ResetFromBuffer();
    } else if (c == select_) {
      Update();
      // A partner whose code the posting would store in another form is not picked:
      // the list stays open. With no row on show (a blank code) nothing is picked.
      const std::string_view code = dict::PARTNER().rec.FLD_CODE.view();
      if (!trimRight(code).empty() && !codeNamesPartner(code)) {
        refusePartnerCode();
        return fw::kNotify;
      }
      v_.pick = partnerCodeNumber(code);
    }
    return r;
  }

 protected:
  void BindNames() override {
    fw::bindName("name_d", {nullptr, nullptr, [] { return dict::NAME_D.str(); }, {}});
  }

 private:
  const PartnerList& v_;
  int search_, reset_, select_;
};

void runPartnerList(const PartnerList& v) {
  ui::Window window(definition(v));
  Brw1 brw;
  ThisWindow thisWindow(window, v, brw);
  app::respond(thisWindow);
}

}  // namespace

void PR_TTT() { runPartnerList(kDebitList); }
void PR_TTT1() { runPartnerList(kCreditList); }

}  // namespace zelk::review
