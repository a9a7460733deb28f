#include "dictionary/files.h"

#include <cassert>
#include <memory>
#include <mutex>

#include "dictionary/globals.h"
#include "platform/storage/dat21/dat21.h"
#include "platform/storage/dbase/dbase.h"
#include "platform/storage/odbc/odbc.h"
#include "platform/storage/text/textfile.h"

namespace zelk::dict {
namespace {

struct Instances {
  std::unique_ptr<FileOf<FnmRecord>> F_NAME;
  std::unique_ptr<FileOf<SubRecord>> SUBS_CLT;
  std::unique_ptr<FileOf<ParRecord>> PARTNER;
  std::unique_ptr<FileOf<DbiRecord>> DBI;
  std::unique_ptr<FileOf<AnaRecord>> ANALIT;
  std::unique_ptr<FileOf<LvoRecord>> LVO;
  std::unique_ptr<FileOf<PlnRecord>> PLN;
  std::unique_ptr<FileOf<PrtRecord>> PRT;
};

thread_local Instances inst;

template <class R, std::size_t N>
std::unique_ptr<FileOf<R>> make(const storage::FileDecl& decl, SharedText<N>* name) {
  auto f = std::make_unique<FileOf<R>>(decl);
  if (name) f->setNameSource([name] { return name->str(); });
  return f;
}

template <class R>
std::unique_ptr<FileOf<R>> make(const storage::FileDecl& decl) {
  return std::make_unique<FileOf<R>>(decl);
}

template <class P>
P& need(const std::unique_ptr<P>& p) {
  assert(p && "the thread's file instances are made at thread start");
  return *p;
}

}  // namespace

FileOf<FnmRecord>& F_NAME() { return need(inst.F_NAME); }
FileOf<SubRecord>& SUBS_CLT() { return need(inst.SUBS_CLT); }
FileOf<ParRecord>& PARTNER() { return need(inst.PARTNER); }
FileOf<DbiRecord>& DBI() { return need(inst.DBI); }
FileOf<AnaRecord>& ANALIT() { return need(inst.ANALIT); }
FileOf<LvoRecord>& LVO() { return need(inst.LVO); }
FileOf<PlnRecord>& PLN() { return need(inst.PLN); }
FileOf<PrtRecord>& PRT() { return need(inst.PRT); }

void makeFileInstances() {
  inst.F_NAME = make<FnmRecord>(F_NAME_DECL);
  inst.SUBS_CLT = make<SubRecord>(SUBS_CLT_DECL, &RFKPATH);
  inst.PARTNER = make<ParRecord>(PARTNER_DECL);
  inst.DBI = make<DbiRecord>(DBI_DECL, &P_DBI);
  inst.ANALIT = make<AnaRecord>(ANALIT_DECL);
  inst.LVO = make<LvoRecord>(LVO_DECL, &P_LVO);
  inst.PLN = make<PlnRecord>(PLN_DECL, &P_PLN);
  inst.PRT = make<PrtRecord>(PRT_DECL, &P_PRT);
}

void releaseFileInstances() {
  inst.PRT.reset();
  inst.PLN.reset();
  inst.LVO.reset();
  inst.ANALIT.reset();
  inst.DBI.reset();
  inst.PARTNER.reset();
  inst.SUBS_CLT.reset();
  inst.F_NAME.reset();
}

bool haveFileInstances() { return inst.F_NAME != nullptr; }

void registerDrivers() {
  static std::once_flag once;
  std::call_once(once, [] {
    storage::registerDriver(storage::DriverKind::Dat21, storage::dat21::driver());
    storage::registerDriver(storage::DriverKind::Dbase, storage::dbase::driver());
    storage::registerDriver(storage::DriverKind::Text, storage::textfile::driver());
    storage::registerDriver(storage::DriverKind::Odbc, storage::odbc::driver());
  });
}

}  // namespace zelk::dict
