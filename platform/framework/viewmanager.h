#pragma once
// The view of a list: one file in record order or in a key's order, read through its
// file manager, with an optional filter over bound names; every row read passes the
// filter first and then ValidateRecord, which a list overrides with its own row test
// (calling ViewManager::ValidateRecord last).
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/framework/filemanager.h"
#include "platform/framework/filter.h"
#include "platform/storage/file.h"

namespace zelk::fw {

// ValidateRecord's answers.
namespace record {
inline constexpr std::uint8_t kOk = 0, kOutOfRange = 1, kFiltered = 2;
}

// The sort order of a view without a key: the file's record order.
inline constexpr int kRecordOrder = -1;

class ViewManager {
 public:
  ViewManager() = default;
  ViewManager(const ViewManager&) = delete;
  ViewManager& operator=(const ViewManager&) = delete;
  virtual ~ViewManager();

  // The view over one file and the file's relation manager (whose file manager the
  // view reads through).
  void Init(storage::File& view, RelationManager& relation);
  virtual void Kill();

  void SetOrder(int key);  // a key's index, or kRecordOrder
  int Order() const { return order_; }

  // A filter expression over bound names; "" none. It is compiled when the view is
  // next set; one that cannot be compiled is reported once (message 43) and dropped.
  void SetFilter(std::string_view expression);
  const std::string& GetFilter() const { return filterText_; }

  // Reading. Each returns 0, kNotify when there is no further row, or kFatal after a
  // read error (reported through the file manager, message 1).
  std::uint8_t Reset();                            // the view to its first row (or its last, for Previous)
  std::uint8_t ResetToBuffer();                    // at the key value in the record buffer
  std::uint8_t ResetAt(std::string_view position); // the next row read is the row at position
  // The row at position read again: 0 when its record is there and still a row of the
  // view (the filter and ValidateRecord pass it), kNotify when not; the view goes on
  // from it.
  std::uint8_t RegetAt(std::string_view position);
  std::uint8_t Next();
  std::uint8_t Previous();
  std::string Position();  // the position of the row read last ("" none)

  // The row test, run for every row that passed the filter, with the row in the
  // record buffer. A list's override runs its own test and then calls this one.
  virtual std::uint8_t ValidateRecord();

  storage::File* View = nullptr;
  RelationManager* Primary = nullptr;
  std::uint64_t Reads = 0;  // records read from the file

 protected:
  FileManager* access() const { return Primary ? Primary->Me : nullptr; }
  void prepareFilter();  // compiles a changed filter

 private:
  std::uint8_t read(bool forward);

  int order_ = kRecordOrder;
  std::string filterText_;
  std::unique_ptr<Filter> filter_;
  bool filterChanged_ = false;
};

}  // namespace zelk::fw
