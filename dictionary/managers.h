#pragma once
// The file and relation managers of the dictionary's files, one pair per file and
// thread, reached through Access::X and Relate::X (X the file's label).
#include <functional>
#include <string>

#include "platform/framework/filemanager.h"

namespace zelk::dict {

// What sets one file's managers apart from another's.
struct FileSetup {
  const storage::FileDecl* decl;
  const char* fileNameValue;           // the name until the first use sets it up
  std::function<std::string()> name;   // the name variable, or empty for a fixed name
  bool create;
  int autoIncKey;                      // the auto-numbered key, -1 for none
  storage::File& (*file)();            // the thread's instance
  fw::FileManager*& access;            // Access::X of the thread
  fw::RelationManager*& relate;        // Relate::X of the thread
  bool readOnly = false;               // another system's file: opened for reading only
  // Rows are added by forms only: a row blank but for its number is an add that never
  // finished (the import adds counterparty rows that may be blank but for theirs).
  bool addedByForms = false;
};

class HideAccess : public fw::FileManager {
 public:
  explicit HideAccess(const FileSetup& s) : setup_(s) {}
  void Init() override;
  void Kill() override;
  std::uint8_t UseFile(std::uint8_t useType) override;
  const FileSetup& setup() const { return setup_; }

 private:
  FileSetup setup_;
};

class HideRelate : public fw::RelationManager {
 public:
  explicit HideRelate(HideAccess* access) : access_(access) {}
  void Init();  // the access object's Init, then the relation manager's
  void Kill() override;

 private:
  HideAccess* access_;
};

namespace Access {
extern thread_local fw::FileManager *F_NAME, *SUBS_CLT, *PARTNER, *DBI, *ANALIT, *LVO, *PLN, *PRT;
}
namespace Relate {
extern thread_local fw::RelationManager *F_NAME, *SUBS_CLT, *PARTNER, *DBI, *ANALIT, *LVO, *PLN, *PRT;
}

// Builds the calling thread's managers (and sets them up for first use), and
// removes them: a file still counted open is closed.
void DCTINIT();
void DCTKILL();

// The thread's dictionary object: on every thread but the first its constructor
// builds the thread's managers; its destructor removes them on every thread.
class Dictionary {
 public:
  Dictionary();
  ~Dictionary();
  Dictionary(const Dictionary&) = delete;
  Dictionary& operator=(const Dictionary&) = delete;
};

}  // namespace zelk::dict
