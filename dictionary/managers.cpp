#include "dictionary/managers.h"

#include <array>
#include <memory>

#include "dictionary/files.h"
#include "dictionary/globals.h"

namespace zelk::dict {

namespace Access {
thread_local fw::FileManager *F_NAME, *SUBS_CLT, *PARTNER, *DBI, *ANALIT, *LVO, *PLN, *PRT;
}
namespace Relate {
thread_local fw::RelationManager *F_NAME, *SUBS_CLT, *PARTNER, *DBI, *ANALIT, *LVO, *PLN, *PRT;
}

namespace {

template <std::size_t N>
std::function<std::string()> nameOf(SharedText<N>& v) {
  return [&v] { return v.str(); };
}


// In the order of making: F_NAME, SUBS_CLT, PARTNER, DBI, ANALIT, LVO, PLN, PRT.
// The references live per thread, so the table is built per thread.
std::array<FileSetup, 8> setups() {
  return {{
      {&F_NAME_DECL, "f_name", {}, true, fnm::KEY_1, [] () -> storage::File& { return dict::F_NAME(); },
       Access::F_NAME, Relate::F_NAME, false, true},
      {&SUBS_CLT_DECL, "SUBS_CLT", nameOf(RFKPATH), false, -1,
       [] () -> storage::File& { return dict::SUBS_CLT(); }, Access::SUBS_CLT, Relate::SUBS_CLT, true},
      {&PARTNER_DECL, "partner", {}, false, -1, [] () -> storage::File& { return dict::PARTNER(); },
       Access::PARTNER, Relate::PARTNER},
      {&DBI_DECL, "DBI", nameOf(P_DBI), false, -1, [] () -> storage::File& { return dict::DBI(); }, Access::DBI,
       Relate::DBI},
      {&ANALIT_DECL, "analit", {}, false, -1, [] () -> storage::File& { return dict::ANALIT(); }, Access::ANALIT,
       Relate::ANALIT},
      {&LVO_DECL, "lvo", nameOf(P_LVO), true, -1, [] () -> storage::File& { return dict::LVO(); }, Access::LVO,
       Relate::LVO},
      {&PLN_DECL, "pln", nameOf(P_PLN), true, pln::KEY_1, [] () -> storage::File& { return dict::PLN(); },
       Access::PLN, Relate::PLN, false, true},
      {&PRT_DECL, "prt", nameOf(P_PRT), true, prt::KEY_1, [] () -> storage::File& { return dict::PRT(); },
       Access::PRT, Relate::PRT},
  }};
}

// The module's own references to the thread's objects.
struct Module {
  std::array<std::unique_ptr<HideAccess>, 8> access;
  std::array<std::unique_ptr<HideRelate>, 8> relate;
};
thread_local Module module;

}  // namespace

void HideAccess::Init() {
  Initialized = false;
  storage::File& f = setup_.file();
  Buffer = f.buffer();
  FileNameValue = setup_.fileNameValue;
  SetErrors(&fw::globalErrors());
  File = &f;
  FileName = setup_.name;
  fw::FileManager::Init();
  setup_.access = this;
}

void HideAccess::Kill() {
  fw::FileManager::Kill();
  setup_.access = nullptr;
}

std::uint8_t HideAccess::UseFile(std::uint8_t useType) {
  if (useType != fw::kUseSetup) UseFile(fw::kUseSetup);
  if (useType == fw::kUseSetup && !Initialized) {
    if (setup_.readOnly) {
      OpenMode = storage::mode::kRead | storage::mode::kDenyNone;
      OpenModeOverridden = true;
    }
    fw::FileManager::Init(&setup_.file(), &fw::globalErrors());
    Create = setup_.create;
    LockRecover = 10;
    RemoveUnfinishedAdds = setup_.addedByForms;
    const storage::FileDecl& d = *setup_.decl;
    auto desc = keyDescriptions(d);
    for (std::size_t k = 0; k < d.keys.size(); ++k)
      AddKey(static_cast<int>(k), k < desc.size() ? desc[k] : d.keys[k].name,
             static_cast<int>(k) == setup_.autoIncKey);
  }
  return fw::FileManager::UseFile(useType);
}

void HideRelate::Init() {
  access_->Init();
  fw::RelationManager::Init(access_);
}

void HideRelate::Kill() {
  access_->Kill();
  fw::RelationManager::Kill();
  for (std::size_t i = 0; i < module.access.size(); ++i) {
    if (module.access[i].get() == access_) {
      module.access[i]->setup().relate = nullptr;
      module.access[i].reset();  // _HIDE:ACCESS:X := none
    }
  }
  access_ = nullptr;
}

void DCTINIT() {
  auto s = setups();
  for (std::size_t i = 0; i < s.size(); ++i) {
    module.access[i] = std::make_unique<HideAccess>(s[i]);
    module.relate[i] = std::make_unique<HideRelate>(module.access[i].get());
  }
  for (std::size_t i = 0; i < s.size(); ++i) s[i].relate = module.relate[i].get();
  // FILESINIT
  for (auto& r : module.relate) r->Init();
}

void DCTKILL() {
  for (auto& r : module.relate) {
    if (!r) continue;
    r->Kill();
    r.reset();
  }
}

Dictionary::Dictionary() {
  if (fw::threadNumber() != 1) DCTINIT();
}

Dictionary::~Dictionary() { DCTKILL(); }

}  // namespace zelk::dict
