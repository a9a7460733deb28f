#pragma once
// File and relation managers: one pair per file and thread. Windows open and close
// the files through them (counted per thread); forms save through them; they report
// every failure through the error manager.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/framework/errors.h"
#include "platform/storage/file.h"

namespace zelk::fw {

// Use types of UseFile.
inline constexpr std::uint8_t kUseOpen = 2, kUseSetup = 5;

// Results of manager operations: 0 carries on; kNotify stops the operation.
inline constexpr std::uint8_t kLevelOk = 0;

struct KeyEntry {
  int key;                  // index into the file's declared keys
  std::string description;  // the text messages show for the key
  bool autoInc;
};

class FileManager {
 public:
  FileManager() = default;
  FileManager(const FileManager&) = delete;
  FileManager& operator=(const FileManager&) = delete;
  virtual ~FileManager();

  // The record buffer, the file and the error manager: what windows, forms and lists
  // reach through the manager.
  char* Buffer = nullptr;
  storage::File* File = nullptr;
  ErrorClass* Errors = nullptr;

  int openCount() const { return Opened; }  // the opens counted on this thread
  const std::vector<KeyEntry>& keys() const { return Keys; }
  bool autoIncDone() const { return AutoIncDone; }  // a number is reserved for the record

  virtual void Init();  // without arguments: Opened := 0
  virtual void Init(storage::File* file, ErrorClass* errors);  // the first-use set-up
  virtual void Kill();
  virtual std::uint8_t UseFile(std::uint8_t useType);
  virtual std::uint8_t Open();   // counts one open (and binds the fields' names)
  virtual std::uint8_t Close();  // gives one back; the last closes the file
  virtual void BindFields();

  void SetErrors(ErrorClass* e) { Errors = e; }
  void AddKey(int key, std::string_view description, bool autoInc);

  // The file's name as messages show it.
  std::string GetName() const;

  // Records.
  virtual std::uint8_t PrimeRecord(bool keepBuffer = false);
  virtual void PrimeFields() {}
  virtual std::uint8_t PrimeAutoInc();
  virtual std::uint8_t CancelAutoInc();
  virtual int TryInsert();  // storage code
  virtual std::uint8_t Insert();
  virtual int TryUpdate();
  virtual std::uint8_t Update();
  virtual std::uint8_t DeleteRecord();
  virtual int TryFetch(int key);
  virtual std::uint8_t Fetch(int key);
  virtual int TryNext();
  virtual std::uint8_t Next();
  virtual int TryPrevious();
  virtual std::uint8_t Previous();
  // The record at a position the file gave (File::position), read again: that very
  // record, or a failure (33 when it is no longer there), never another one.
  virtual int TryReget(std::string_view position);
  // TryReget, a failure shown by RegetFailed.
  std::uint8_t Reget(std::string_view position);
  // Shows why TryReget failed with code: message 7 for a record that is no longer
  // there (another station deleted it or changed its key), else message 1; kNotify.
  std::uint8_t RegetFailed(int code);

  // A read of the file: when it finds the file damaged (46), notice 30 and the
  // rebuild (fatal 29 when that fails), then the read once again; the storage code of
  // the last read. TryFetch, TryNext and TryPrevious read so, and so does every run or
  // list reading a 2.1 file it holds open.
  int readRebuilding(const std::function<int()>& read);

  // Copies of the record buffer.
  int SaveBuffer();
  void RestoreBuffer(int id, bool restore = true);
  bool EqualBuffer(int id) const;

  std::uint8_t Throw(std::uint16_t id);
  std::uint8_t ThrowMessage(std::uint16_t id, std::string_view message);

  // The key description for messages: the registered key of the last duplicate.
  const KeyEntry* keyEntry(int key) const;

 protected:
  // What a file manager of the dictionary sets up before its first use.
  std::function<std::string()> FileName;  // the name variable, where there is one
  std::string FileNameValue;              // the name when FileName is not set
  bool Create = true;
  int LockRecover = 10;
  bool Initialized = false;
  std::uint8_t OpenMode = storage::mode::kReadWrite | storage::mode::kDenyNone;  // 42h
  bool OpenModeOverridden = false;  // OpenMode set before Init, which then keeps it
  // Rows are added only through PrimeRecord and a form: a row blank but for its
  // auto-numbered keys reserved a number for an add that may not have finished.
  bool RemoveUnfinishedAdds = false;

  // The physical open with its error handling: kLevelOk, or the notice's level when
  // the file stayed busy after the busy question (message 1); every other failure is
  // fatal.
  std::uint8_t OpenFile();
  int fileOpen(std::uint8_t mode);
  std::uint8_t fatal(std::uint16_t id);
  void rebuild();
  int reserveNumber(const KeyEntry& k);
  void removeUnfinishedAdds();

 private:
  // readRebuilding on the file opened for use (kFileNotOpen when it cannot be).
  int readOpen(const std::function<int()>& read);
  std::uint8_t stepped(int code);  // Next's and Previous's level for a read's code

  int Opened = 0;
  bool Used = false;
  bool Killed = false;
  std::vector<KeyEntry> Keys;
  bool HasAutoInc = false;
  bool AutoIncDone = false;

  std::vector<std::vector<char>> saved_;
  std::string reservedPosition_;
};

class RelationManager {
 public:
  RelationManager() = default;
  RelationManager(const RelationManager&) = delete;
  RelationManager& operator=(const RelationManager&) = delete;
  virtual ~RelationManager() = default;

  FileManager* Me = nullptr;

  void Init(FileManager* me);
  virtual void Kill();
  virtual std::uint8_t Open();
  virtual std::uint8_t Close();
  virtual std::uint8_t CancelAutoInc();
  virtual std::uint8_t Update();  // the form's change
  virtual std::uint8_t Delete();  // the form's delete (no question)
  virtual void SetQuickScan(bool on);
};

}  // namespace zelk::fw
