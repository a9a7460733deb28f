// UPDATEPARTNER1: the partner form, every field of one PARTNER row on four tabs, for
// the partner lists' view and insert; it refuses change and delete. A partner added
// here is then registered in ANALIT under the posting's account on the side of the
// list that opened the form.
#include <cstdint>
#include <string>
#include <vector>

#include "app/patterns/controls.h"
#include "app/patterns/form.h"
#include "dictionary/files.h"
#include "dictionary/globals.h"
#include "dictionary/managers.h"
#include "platform/core/codepage.h"
#include "platform/core/text.h"
#include "platform/framework/messageids.h"
#include "platform/storage/file.h"
#include "platform/ui/window.h"
#include "review/partners.h"

namespace zelk::review {
namespace {

using app::Ctl;
using ui::Kind;

class ThisWindow;

// One entry of the form, in the record's field order: its prompt, control name,
// picture, field and whether it is required.
struct Entry {
  const char* prompt;
  const char* name;
  const char* picture;
  ui::Use (*use)(dict::ParRecord&);
  bool required = false;
};

// An entry's field: its name after the file's prefix ("?PAR:CODE_PR" shows CODE_PR).
std::string fieldOf(const Entry& e) { return std::string(e.name).substr(std::string_view("?PAR:").size()); }

template <auto Member>
ui::Use field(dict::ParRecord& r) {
  return ui::use(r.*Member);
}

using R = dict::ParRecord;
constexpr int kTabs = 4, kPerTab = 10;
const Entry kEntries[] = {
    {"Вн.код:", "?PAR:CODE_PR", "s30", field<&R::CODE_PR>},
    {"Код:", "?PAR:FLD_CODE", "s6", field<&R::FLD_CODE>, true},
    {"Крат.имя:", "?PAR:SHORTNAME", "s25", field<&R::SHORTNAME>, true},
    {"Полное имя:", "?PAR:ORGNAME", "s254", field<&R::ORGNAME>, true},
    {"Статус:", "?PAR:STATUS", "s1", field<&R::STATUS>},
    {"Код ОКОНХ:", "?PAR:CODE_OKOHX", "s20", field<&R::CODE_OKOHX>},
    {"Код ОКПО:", "?PAR:CODE_OKPO", "s20", field<&R::CODE_OKPO>},
    {"Тип:", "?PAR:TYPE_A", "s22", field<&R::TYPE_A>},
    {"Телефон 1:", "?PAR:TELEFON1", "s20", field<&R::TELEFON1>},
    {"Телефон 2:", "?PAR:TELEFON2", "s20", field<&R::TELEFON2>},

    {"nom_s:", "?PAR:NOM_S", "s12", field<&R::NOM_S>},
    {"date_s:", "?PAR:DATE_S", "d17", field<&R::DATE_S>},
    {"bperiod:", "?PAR:BPERIOD", "d17", field<&R::BPERIOD>},
    {"eperiod:", "?PAR:EPERIOD", "d17", field<&R::EPERIOD>},
    {"vid_s:", "?PAR:VID_S", "s40", field<&R::VID_S>},
    {"passer:", "?PAR:PASSER", "s17", field<&R::PASSER>},
    {"pasnum:", "?PAR:PASNUM", "s17", field<&R::PASNUM>},
    {"pasdate:", "?PAR:PASDATE", "d17", field<&R::PASDATE>},
    {"paswere:", "?PAR:PASWERE", "s50", field<&R::PASWERE>},
    {"Окато:", "?PAR:OKATO", "s20", field<&R::OKATO>},

    {"status_np:", "?PAR:STATUS_NP", "s22", field<&R::STATUS_NP>},
    {"cod_bud_p:", "?PAR:COD_BUD_P", "s5", field<&R::COD_BUD_P>},
    {"Факт.адрес:", "?PAR:ADRES_FACT", "s240", field<&R::ADRES_FACT>},
    {"ofk_cd:", "?PAR:OFK_CD", "s10", field<&R::OFK_CD>},
    {"ofk_nm:", "?PAR:OFK_NM", "s100", field<&R::OFK_NM>},
    {"ofk_inn:", "?PAR:OFK_INN", "s30", field<&R::OFK_INN>},
    {"ofl_ls:", "?PAR:OFL_LS", "s20", field<&R::OFL_LS>},
    {"part_id:", "?PAR:PART_ID", "s22", field<&R::PART_ID>},
    {"code_reg:", "?PAR:CODE_REG", "s20", field<&R::CODE_REG>},
    {"email:", "?PAR:EMAIL", "s50", field<&R::EMAIL>},

    {"Адрес сайта:", "?PAR:INTERNET", "s50", field<&R::INTERNET>},
    {"is_self:", "?PAR:IS_SELF", "n3", field<&R::IS_SELF>},
    {"is_closed:", "?PAR:IS_CLOSED", "n3", field<&R::IS_CLOSED>},
    {"ИНН:", "?PAR:CODE_INN", "s20", field<&R::CODE_INN>},
    {"КПП:", "?PAR:CODE_KPP", "s20", field<&R::CODE_KPP>},
};
constexpr int kEntryCount = static_cast<int>(std::size(kEntries));
static_assert(kEntryCount == 35);

// Places on a tab: the prompts in one column, the entries in a second, a line each.
constexpr int kPromptX = 12, kEntryX = 76, kFirstY = 24, kLineStep = 13, kLineHeight = 11, kRightEdge = 346;

// An entry's width from its picture: about four units a character, within the tab.
int entryWidth(std::string_view picture) {
  int chars = 0;
  for (char c : picture)
    if (c >= '0' && c <= '9') chars = chars * 10 + (c - '0');
  if (picture.front() == 'd') chars = 10;
  return std::min(kRightEdge - kEntryX, std::max(16, chars * 4 + 8));
}

const char* const kTabNames[kTabs][2] = {
    {"?TAB:1", "&1) Стр.1"}, {"?TAB:2", "&2) Стр.2"}, {"?TAB:3", "&3) Стр.3"}, {"?TAB:4", "&4) Стр.4"}};

ui::WindowDef definition() {
  dict::ParRecord& r = dict::PARTNER().rec;
  ui::WindowDef d;
  d.key = "ZELK$ZELK021";
  d.label = "QUICKWINDOW";
  d.title = ansi("Спецификация партнера");
  d.icon = "QVT5.ICO";
  d.at = {ui::kDefaultPosition, ui::kDefaultPosition, 358, 182};
  d.controls.push_back(Ctl(Kind::Sheet, "?CURRENTTAB", {4, 4, 350, 156}));
  for (int t = 0; t < kTabs; ++t) {
    const char* tab = kTabNames[t][0];
    d.controls.push_back(Ctl(Kind::Tab, tab).text(kTabNames[t][1]).parent("?CURRENTTAB"));
    for (int i = 0; i < kPerTab && t * kPerTab + i < kEntryCount; ++i) {
      const Entry& e = kEntries[t * kPerTab + i];
      const int y = kFirstY + i * kLineStep;
      d.controls.push_back(Ctl(Kind::Prompt, std::string(e.name) + ":PROMPT", {kPromptX, y + 1, kEntryX - kPromptX - 4, 10})
                               .text(e.prompt)
                               .parent(tab));
      d.controls.push_back(Ctl(Kind::Entry, e.name, {kEntryX, y, entryWidth(e.picture), kLineHeight})
                               .picture(e.picture)
                               .use(e.use(r))
                               .attrs(e.required ? std::uint32_t{ui::kRequired} : 0u)
                               .parent(tab));
    }
  }
  d.controls.push_back(app::okButton({246, 164, 52, 15}));
  d.controls.push_back(app::cancelButton({302, 164, 52, 15}));
  d.controls.push_back(app::helpButton({8, 164, 52, 15}));
  return d;
}

app::WindowSetup windowSetup() {
  return app::formWindowSetup("UpdatePARTNER1",
                              {[]() -> fw::RelationManager* { return dict::Relate::ANALIT; },
                               []() -> fw::RelationManager* { return dict::Relate::PARTNER; }},
                              "?PAR:CODE_PR:PROMPT");
}

app::FormSetup formSetup() {
  app::FormSetup f;
  f.access = []() -> fw::FileManager* { return dict::Access::PARTNER; };
  f.relate = []() -> fw::RelationManager* { return dict::Relate::PARTNER; };
  f.history = app::historyOf<ThisWindow>;
  for (const Entry& e : kEntries) f.historyFields.emplace_back(e.name, fieldOf(e));
  f.okControl = "?OK";
  f.viewTitle = "View Record";
  return f;  // view mode: every entry read-only
}

class ThisWindow : public app::FormPattern {
 public:
  explicit ThisWindow(ui::Window& w) : FormPattern(w, windowSetup(), formSetup()), code_(control("?PAR:FLD_CODE")) {}

  // A code is taken only when a posting that picks the partner stores that same code
  // (six digits): else message 16, and the entry keeps the focus.
  std::uint8_t TakeAccepted() override {
    if (Request == fw::request::kInsert && field() == code_) {
      const std::string_view code = dict::PARTNER().rec.FLD_CODE.view();
      if (!trimRight(code).empty() && !codeNamesPartner(code)) {
        refusePartnerCode();
        win().select(code_);
        return fw::kNotify;
      }
    }
    return FormPattern::TakeAccepted();
  }

  // Change and delete are refused before the window takes any input.
  void Ask() override {
    if (Request == fw::request::kChange || Request == fw::request::kDelete) {
      fw::globalErrors().Throw(Request == fw::request::kChange ? fw::msg::kUpdateIllegal : fw::msg::kDeleteIllegal);
      return;
    }
    FormPattern::Ask();
  }

  // The partner is inserted first; once it stands, it is registered under the
  // posting's account. A registration the data source already holds is skipped
  // quietly; any other failure is reported, the partner stays.
  std::uint8_t TakeCompleted() override {
    std::uint8_t r = FormPattern::TakeCompleted();
    if (Request == fw::request::kInsert && Response == fw::response::kCompleted) {
      Text<10> debit = dict::DT_SCHET_A.get(), credit = dict::KT_SCHET_A.get();
      int code = registerPartner(dict::PARTNER().rec, debit.view(), credit.view());
      if (code != storage::kNoError && code != storage::kDuplicateKey) dict::Access::ANALIT->Throw(fw::msg::kAddFailed);
    }
    return r;
  }

 private:
  const int code_;
};

}  // namespace

void UPDATEPARTNER1() {
  ui::Window window(definition());
  ThisWindow thisWindow(window);
  app::respond(thisWindow);
}

}  // namespace zelk::review
