// UPDATEPLN: the chart form, one PLN row for the chart list's request. Every refresh
// stamps the row with the current firm FIR, and OK also flushes the chart file. A row
// of another firm (one another station changed) is neither changed nor deleted here.
#include "app/patterns/controls.h"
#include "app/patterns/form.h"
#include "dictionary/files.h"
#include "dictionary/globals.h"
#include "dictionary/managers.h"
#include "platform/core/codepage.h"
#include "platform/ui/window.h"
#include "review/chart.h"

namespace zelk::review {
namespace {

using app::Ctl;
using ui::Kind;

class ThisWindow;

ui::WindowDef definition() {
  dict::PlnRecord& r = dict::PLN().rec;
  ui::WindowDef d;
  d.key = "ZELK$zelk009";
  d.label = "WINDOW";
  d.title = ansi("Позиция плана счетов");
  d.icon = "QVT5.ICO";
  d.at = {ui::kDefaultPosition, ui::kDefaultPosition, 280, 100};
  auto onTab = [](Kind k, const char* name, ui::Rect at) { return Ctl(k, name, at).parent("?TAB:1"); };
  d.controls = {
      Ctl(Kind::Sheet, "?CURRENTTAB", {4, 4, 272, 74}),
      Ctl(Kind::Tab, "?TAB:1").parent("?CURRENTTAB"),
          onTab(Kind::String, "?STRING1", {12, 24, 60, 10}).text("Номер фирмы:"),
          onTab(Kind::Entry, "?PLN:FIR", {76, 23, 20, 11})
              .picture("n3b")
              .use(ui::use(r.FIR))
              .attrs(ui::kRequired | ui::kSkip),
          onTab(Kind::Prompt, "?PLN:NOMER:PROMPT", {12, 39, 60, 10}).text("Номер счета:"),
          onTab(Kind::Entry, "?PLN:NOMER", {76, 38, 84, 11}).picture("s20").use(ui::use(r.NOMER)).attrs(ui::kRequired),
          onTab(Kind::Prompt, "?PLN:NAME:PROMPT", {12, 54, 60, 10}).text("Наименование:"),
          onTab(Kind::Entry, "?PLN:NAME", {76, 53, 192, 11}).picture("s100").use(ui::use(r.NAME)).attrs(ui::kRequired),
          app::okButton({170, 82, 50, 15}),
          app::cancelButton({224, 82, 52, 15}),
          app::helpButton({4, 82, 50, 15}),
  };
  return d;
}

app::WindowSetup windowSetup() {
  return app::formWindowSetup("Updatepln", {[]() -> fw::RelationManager* { return dict::Relate::PLN; }}, "?STRING1");
}

app::FormSetup formSetup() {
  app::FormSetup f;
  f.access = []() -> fw::FileManager* { return dict::Access::PLN; };
  f.relate = []() -> fw::RelationManager* { return dict::Relate::PLN; };
  f.history = app::historyOf<ThisWindow>;
  f.historyFields = {{"?PLN:FIR", "FIR"}, {"?PLN:NOMER", "NOMER"}, {"?PLN:NAME", "NAME"}};
  f.okControl = "?OK";
  f.viewTitle = ansi("Счет по плану  счетов");
  f.readOnlyInView = {"?PLN:FIR", "?PLN:NOMER", "?PLN:NAME"};
  return f;
}

void stampFirm() { dict::PLN().rec.FIR = dict::FIR.load(); }
bool ownRow() { return dict::PLN().rec.FIR.get() == dict::FIR.load(); }

class ThisWindow : public app::FormPattern {
 public:
  explicit ThisWindow(ui::Window& w) : FormPattern(w, windowSetup(), formSetup()) {}

  // Outside a completion run every refresh puts the current firm into the row.
  void RefreshValues() override {
    stampFirm();
  }

  // OK: the framework's handling (the completion, or view mode's close), then the
  // chart file is flushed.
  std::uint8_t TakeAccepted() override {
    const std::uint8_t r = FormPattern::TakeAccepted();
    if (field() == form().okControl.number() && dict::PLN().flush() != 0) dict::Access::PLN->Throw(fw::msg::kPutFailed);
    return r;
  }

 protected:
  // The row the list read, and for a change the row read again: another firm's row
  // opens no form to change or delete it (message 7), so no stamp moves it here.
  std::uint8_t PrepareRecord() override {
    const bool edit = Request == fw::request::kChange || Request == fw::request::kDelete;
    if (edit && !ownRow()) return notOurs();
    stampFirm();
    const std::uint8_t r = FormPattern::PrepareRecord();
    if (r == 0 && edit && !ownRow()) return notOurs();
    return r;
  }

 private:
  static std::uint8_t notOurs() {
    dict::Access::PLN->Throw(fw::msg::kConcurrency);
    return fw::kNotify;
  }
};

}  // namespace

void UPDATEPLN() {
  ui::Window window(definition());
  ThisWindow thisWindow(window);
  app::respond(thisWindow);
}

}  // namespace zelk::review
