// UPDATEDBI: the posting form. The other account and the analytics codes of one
// posting, typed or picked from the chart and partner look-ups.
#include <utility>

#include "app/patterns/controls.h"
#include "app/patterns/form.h"
#include "app/patterns/procedures.h"
#include "dictionary/files.h"
#include "dictionary/globals.h"
#include "dictionary/managers.h"
#include "platform/core/codepage.h"
#include "platform/ui/window.h"
#include "review/chart.h"
#include "review/codes.h"
#include "review/postings.h"
#include "review/totals.h"

namespace zelk::review {
namespace {

using app::Ctl;
using ui::Kind;

class ThisWindow;

ui::WindowDef definition(Text<50>& counterparty) {
  dict::DbiRecord& r = dict::DBI().rec;
  ui::WindowDef d;
  d.key = "ZELK$zelk013";
  d.label = "QUICKWINDOW";
  d.title = ansi("Добавление корреспонденции и аналитики");
  d.icon = "QVT5.ICO";
  d.at = {ui::kDefaultPosition, ui::kDefaultPosition, 300, 196};
  auto prompt = [](const char* name, const char* text, ui::Rect at) { return Ctl(Kind::Prompt, name, at).text(text); };
  auto lookup = [](const char* name, ui::Rect at) { return Ctl(Kind::Button, name, at).text("Выбрать из списка"); };
  auto arrow = [](const char* name, ui::Rect at) {
    return Ctl(Kind::String, name, at).text("->").font("MS Sans Serif", 10, true);
  };
  d.controls = {
      Ctl(Kind::Sheet, "?CURRENTTAB", {4, 4, 292, 166}),
      Ctl(Kind::Tab, "?TAB:1").parent("?CURRENTTAB"),
      prompt("?DBI:DATAOPER:PROMPT", "Дата:", {12, 22, 24, 10}),
      prompt("?DBI:NNDOC:PROMPT", "№док:", {104, 22, 26, 10}),
      prompt("?DBI:DT_SCHET:PROMPT", "Счет по Дебет:", {12, 42, 76, 10}),
      lookup("?BUTTON4", {204, 40, 80, 14}),
      Ctl(Kind::Entry, "?DBI:DT_SCHET", {92, 41, 52, 11}).picture("s10").use(ui::use(r.DT_SCHET)),
      arrow("?STRING2", {180, 41, 14, 11}),
      prompt("?DBI:DT_CODE:PROMPT", "Аналитика по Дебет:", {12, 62, 76, 10}),
      arrow("?STRING4", {180, 61, 14, 11}),
      lookup("?BUTTON6", {204, 60, 80, 14}),
      Ctl(Kind::Entry, "?DBI:DT_CODE", {92, 61, 36, 11}).picture("s6").use(ui::use(r.DT_CODE)),
      Ctl(Kind::Line, "?LINE1", {12, 82, 272, 0}),
      prompt("?DBI:KT_SCHET:PROMPT", "Счет по Кредит:", {12, 92, 76, 10}),
      lookup("?BUTTON5", {204, 90, 80, 14}),
      Ctl(Kind::Entry, "?DBI:KT_SCHET", {92, 91, 52, 11}).picture("s10").use(ui::use(r.KT_SCHET)),
      arrow("?STRING3", {180, 91, 14, 11}),
      prompt("?DBI:KT_CODE:PROMPT", "Аналитика по Кредит:", {12, 112, 76, 10}),
      arrow("?STRING5", {180, 111, 14, 11}),
      lookup("?BUTTON7", {204, 110, 80, 14}),
      Ctl(Kind::Entry, "?DBI:KT_CODE", {92, 111, 36, 11}).picture("s6").use(ui::use(r.KT_CODE)),
      prompt("?DBI:SUMMA:PROMPT", "Сумма:", {12, 134, 30, 10}),
      Ctl(Kind::String, "?DBI:SUMMA", {44, 134, 60, 10}).picture("n_10.2").use(ui::use(r.SUMMA)),
      Ctl(Kind::String, "?DBI:NNDOC", {132, 22, 36, 10}).picture("s6").use(ui::use(r.NNDOC)),
      Ctl(Kind::String, "?DBI:DATAOPER", {38, 22, 50, 10}).picture("d17").use(ui::use(r.DATAOPER)),
      Ctl(Kind::String, "?N_PART", {12, 150, 276, 10}).picture("s50").use(ui::use(counterparty)),
      app::okButton({186, 176, 52, 15}),
      app::cancelButton({244, 176, 52, 15}),
      app::helpButton({8, 176, 52, 15}),
  };
  return d;
}

app::WindowSetup windowSetup() {
  return app::formWindowSetup("UpdateDbi", {[] { return dict::Relate::DBI; }, [] { return dict::Relate::PLN; }},
                              "?DBI:DATAOPER:PROMPT");
}

app::FormSetup formSetup() {
  app::FormSetup f;
  f.access = []() -> fw::FileManager* { return dict::Access::DBI; };
  f.relate = []() -> fw::RelationManager* { return dict::Relate::DBI; };
  f.history = app::historyOf<ThisWindow>;
  for (const char* name : {"DT_SCHET", "DT_CODE", "KT_SCHET", "KT_CODE", "SUMMA", "NNDOC", "DATAOPER"})
    f.historyFields.emplace_back(std::string("?DBI:") + name, name);
  f.okControl = "?OK";
  f.viewTitle = ansi("Смотреть ???");
  f.readOnlyInView = {"?DBI:DT_SCHET", "?DBI:DT_CODE", "?DBI:KT_SCHET", "?DBI:KT_CODE"};
  return f;
}

// Takes a pick over: the variable is cleared and its value answered (0: none).
std::int32_t takePick(std::atomic<std::int32_t>& pick) { return pick.exchange(0); }

class ThisWindow : public app::FormPattern {
 public:
  ThisWindow(ui::Window& w, Text<50>& counterparty)
      : FormPattern(w, windowSetup(), formSetup()),
        counterparty_(counterparty),
        debitAccount_(control("?BUTTON4")),
        creditAccount_(control("?BUTTON5")),
        debitCode_(control("?BUTTON6")),
        creditCode_(control("?BUTTON7")) {}

  // Picks left by look-ups of earlier windows never land in this posting.
  std::uint8_t Init() override {
    for (auto* pick : {&dict::PLN_AD, &dict::PLN_AK, &dict::PAR_AD, &dict::PAR_AK}) *pick = 0;
    return FormPattern::Init();
  }

  // The credit look-ups have closed with the form: a pick one left is nobody's.
  std::uint8_t Kill() override {
    const std::uint8_t r = FormPattern::Kill();
    dict::PLN_AK = 0;
    return r;
  }

  // The counterparty text and the picks waiting, into the record buffer.
  void RefreshValues() override {
    dict::DbiRecord& r = dict::DBI().rec;
    readCounterparty(r.NNOPER);
    counterparty_ = dict::PRT().rec.NAME;
    if (dict::PLN_AD != 0) r.DT_SCHET = pickedAccount(takePick(dict::PLN_AD));
    if (dict::PLN_AK != 0) r.KT_SCHET = pickedAccount(takePick(dict::PLN_AK));
    // The two sides take a partner pick alike.
    for (auto [pick, code] : {std::pair{&dict::PAR_AD, &r.DT_CODE}, std::pair{&dict::PAR_AK, &r.KT_CODE}})
      if (*pick != 0)
        if (const std::int32_t p = takePick(*pick); p > 0) *code = pickedCode(p);
  }

  std::uint8_t TakeAccepted() override {
    const int c = field();
    dict::DbiRecord& r = dict::DBI().rec;
    if (c == debitAccount_) {
      dict::PLN_AD = 0;
    } else if (c == debitCode_) {
      dict::PAR_AD = 0;
      dict::DT_SCHET_A = r.DT_SCHET.view();
      dict::KT_SCHET_A = "";
    } else if (c == creditCode_) {
      dict::PAR_AK = 0;
      dict::DT_SCHET_A = "";
      dict::KT_SCHET_A = r.KT_SCHET.view();
    }
    const std::uint8_t result = FormPattern::TakeAccepted();
    if (c == debitAccount_) {
      lookUp("PLN_TAB");
    } else if (c == creditAccount_) {
      Update();
      app::startProcedure("PLN_TAB1", kChartLookupStack);
      Reset(false);
      dict::PLN_AK = 0;
    } else if (c == debitCode_) {
      lookUp("PR_TTT");
    } else if (c == creditCode_) {
      lookUp("PR_TTT1");
    }
    return result;
  }

  // The codes with six digits, a code that reads as 0 blank; the row links cleared.
  std::uint8_t TakeCompleted() override {
    dict::DbiRecord& r = dict::DBI().rec;
    r.DT_CODE = completedCode(r.DT_CODE.view());
    r.KT_CODE = completedCode(r.KT_CODE.view());
    r.NNOPER_D = 0;
    r.NNOPER_K = 0;
    return FormPattern::TakeCompleted();
  }

 protected:
  void AfterOpen() override {
    FormPattern::AfterOpen();
    if (Request != fw::request::kView) return;
    for (int button : {debitAccount_, debitCode_, creditAccount_, creditCode_}) win().disable(button);
  }

 private:
  // A look-up on this thread, waited for; its pick is taken over by the refresh.
  void lookUp(std::string_view procedure) {
    Update();
    app::procedure(procedure)();
    Reset(false);
  }

  Text<50>& counterparty_;
  const int debitAccount_, creditAccount_, debitCode_, creditCode_;
};

}  // namespace

void UPDATEDBI() {
  Text<50> counterparty;  // N_PART
  ui::Window window(definition(counterparty));
  ThisWindow thisWindow(window, counterparty);
  app::respond(thisWindow);
}

}  // namespace zelk::review
