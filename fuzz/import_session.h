#pragma once
// What the importers' fuzz entries share: the program's layers started around one
// input (as a thread of the program starts and ends), a firm's files in a folder of
// the process, and a check of what the run left behind.
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/messages.h"
#include "app/startup.h"
#include "dictionary/declarations.h"
#include "dictionary/files.h"
#include "dictionary/globals.h"
#include "dictionary/managers.h"
#include "import/posting.h"
#include "platform/framework/errors.h"
#include "platform/storage/dbase/dbase.h"

namespace zelk::fuzz {

// One folder per process, removed when the process ends.
inline const std::string& importFolder() {
  struct Folder {
    Folder() {
      char tmpl[] = "/tmp/zelk-fuzz-import-XXXXXX";
      if (const char* p = mkdtemp(tmpl)) path = p;
    }
    ~Folder() {
      std::error_code ec;
      if (!path.empty()) std::filesystem::remove_all(path, ec);
    }
    std::string path;
  };
  static const Folder dir;
  return dir.path;
}

inline void writeBytes(const std::string& path, const std::uint8_t* data, std::size_t size) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return;
  if (size) std::fwrite(data, 1, size, f);
  std::fclose(f);
}

// The program's layers and the firm's DBI, LVO and PRT open for one input. dbi.dbf is
// made anew each time (deleted postings stay in it otherwise); prt.dat and lvo.dat
// keep what the previous input left, as a firm's files do between runs.
class ImportSession {
 public:
  ImportSession() {
    const std::string& dir = importFolder();
    app::processStart();
    app::threadStart();
    static const bool messages = [] {  // the process's error manager, loaded once
      fw::globalErrors().Init(app::defaultErrors());
      return true;
    }();
    (void)messages;
    dict::DCTINIT();
    dict::P_DBI = dir + "/dbi.dbf";
    dict::P_PRT = dir + "/prt.dat";
    dict::P_LVO = dir + "/lvo.dat";
    dict::RFKPATH = dir + "/subs_clt.dbf";
    std::remove((dir + "/dbi.dbf").c_str());
    ok_ = storage::dbase::driver().create(dict::DBI_DECL, dir + "/dbi.dbf").code == 0 &&
          dict::Relate::DBI->Open() == 0 && dict::Relate::LVO->Open() == 0 && dict::Relate::PRT->Open() == 0;
  }
  ~ImportSession() {
    dict::Relate::PRT->Close();
    dict::Relate::LVO->Close();
    dict::Relate::DBI->Close();
    dict::DCTKILL();
    app::threadEnd();
  }
  ImportSession(const ImportSession&) = delete;
  ImportSession& operator=(const ImportSession&) = delete;

  bool ok() const { return ok_; }
  std::string path(const char* name) const { return importFolder() + "/" + name; }
  // The firm's accounts: its own account number and its ledger account.
  import::Accounts accounts() const { return {"40702810900000001234", "51"}; }

 private:
  bool ok_ = false;
};

// A run writing to our own healthy files never fails to write (reading a damaged
// input may fail), and its count is the postings DBI holds.
inline void checkRun(const import::ImportResult& r) {
  if (r.outcome == import::Outcome::Failed && (!r.failure || r.failure->message != fw::msg::kReadFailed))
    std::abort();
  if (r.outcome == import::Outcome::NoInput) return;
  auto& dbi = dict::DBI();
  std::int32_t live = 0;
  dbi.set();
  while (dbi.next() == 0) ++live;
  if (!r.count || *r.count != live) std::abort();
}

}  // namespace zelk::fuzz
