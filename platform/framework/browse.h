#pragma once
// Lists over a view of one file.
//
// ViewManager reads the view: the file in record order or in a key's order, through
// its file manager, with an optional filter over bound names; every row read passes
// the filter first and then ValidateRecord, which a list overrides with its own row
// test (calling ViewManager::ValidateRecord last).
//
// BrowseClass shows the view in a list control of a window: it keeps the list queue
// (a row per record on show: the values of its field pairs and the row's position),
// fills it at once (FileLoaded) or a page at a time, moves with the scroll events,
// the locator and the thumb step, keeps the list's buttons enabled by the row count,
// calls the window's update procedure for view, insert, change and delete, and keeps
// the highlighted row in the sources of its field pairs. It registers itself as a
// component of its window manager, which passes it the window's events.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/framework/filemanager.h"
#include "platform/framework/filter.h"
#include "platform/framework/windowmanager.h"
#include "platform/storage/file.h"
#include "platform/ui/defs.h"
#include "platform/ui/window.h"

namespace zelk::fw {

// ValidateRecord's answers.
namespace record {
inline constexpr std::uint8_t kOk = 0, kOutOfRange = 1, kFiltered = 2;
}

// The sort order of a view without a key: the file's record order.
inline constexpr int kRecordOrder = -1;

// Messages the lists raise.
namespace msg {
inline constexpr std::uint16_t kViewFilter = 43;  // a filter that cannot be used
}

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

// The list's rows. A row keeps the values of the field pairs in one byte string, each
// at its column's place: a text at its width, a number (or a date's day number) as
// 8 bytes; then the row's position in the view.
class ListQueue {
 public:
  static constexpr std::size_t kPositionSize = 1024;  // a position is cut to this
  struct Column {
    bool text = false;
    std::size_t offset = 0, width = 0;  // in Row::values
  };
  struct Row {
    std::string values;
    std::string position;  // the row's position in the view
    int thumb = 0;         // the thumb step's percentile of the row
  };
  std::vector<Row> rows;

  std::size_t size() const { return rows.size(); }
  bool empty() const { return rows.empty(); }
  void clear() { rows.clear(); }

  // The columns, one per field pair (BrowseClass::AddField adds them).
  void addColumn(bool text, std::size_t width);
  void clearColumns();
  const std::vector<Column>& columns() const { return columns_; }
  std::size_t rowSize() const { return rowSize_; }

  std::string_view text(const Row& r, std::size_t column) const;
  double number(const Row& r, std::size_t column) const;
  void setText(Row& r, std::size_t column, std::string_view v) const;
  void setNumber(Row& r, std::size_t column, double v) const;

 private:
  std::vector<Column> columns_;
  std::size_t rowSize_ = 0;
};

class BrowseClass;

// Positions the thumb by the value of the sort key's first field.
class StepClass {
 public:
  virtual ~StepClass() = default;
  // The field the thumb follows (bound by AddSortOrder).
  void bind(const storage::FieldDesc& field, bool noCase);
  // The range of the thumb, from the records of the first and last key values.
  virtual void SetLimit(const char* first, const char* last) = 0;
  virtual int GetPercentile(const char* rec) const = 0;  // 0..100
  virtual void SetValue(char* rec, int percent) const = 0;  // the value at a thumb position
  const storage::FieldDesc* field() const { return field_; }

 protected:
  const storage::FieldDesc* field_ = nullptr;
  bool noCase_ = false;
};

// A numeric key: the thumb runs from the first to the last value.
class StepLongClass : public StepClass {
 public:
  void Init(unsigned controls);
  void SetLimit(const char* first, const char* last) override;
  int GetPercentile(const char* rec) const override;
  void SetValue(char* rec, int percent) const override;

 private:
  unsigned controls_ = 0;
  double low_ = 0, high_ = 0;
};

// A text key: the thumb steps over the leading character, through a table of the
// digits and capital letters; in the run-time mode the table holds only those
// between the first and the last key value, and it is built when the list fills.
class StepStringClass : public StepClass {
 public:
  static constexpr int kRunTime = 3;
  void Init(unsigned controls, int mode);
  void SetLimit(const char* first, const char* last) override;
  int GetPercentile(const char* rec) const override;
  void SetValue(char* rec, int percent) const override;

 private:
  unsigned char leading(const char* rec) const;
  unsigned controls_ = 0;
  int mode_ = 0;
  std::vector<unsigned char> steps_;
};

// Moves the list by typed characters to the first row at or after a value of its
// field (in the sort order).
class LocatorClass {
 public:
  virtual ~LocatorClass() = default;
  // control: an entry that shows the search value (0 none); field: the field of the
  // sort key it sets; noCase: the typed text is taken in capitals.
  void Init(int control, ui::Use field, bool noCase, BrowseClass& list);
  // A character typed on the list; true when the list is to move.
  virtual bool TakeKey(int key) = 0;
  void Set();  // the search value into the field
  virtual void Clear() {}  // forget what was typed
  const std::string& text() const { return text_; }
  int control() const { return control_; }

 protected:
  std::string text_;
  int control_ = 0;
  ui::Use field_;
  bool noCase_ = false;
  BrowseClass* list_ = nullptr;
};

// Each typed character alone is the value.
class StepLocatorClass : public LocatorClass {
 public:
  bool TakeKey(int key) override;
};

// Typed characters build up the value; Backspace takes the last one back.
class IncrementalLocatorClass : public LocatorClass {
 public:
  bool TakeKey(int key) override;
  void Clear() override;
};

class BrowseClass : public ViewManager, public WindowComponent {
 public:
  enum class Direction : std::uint8_t { Forward, Backward };

  BrowseClass() = default;
  ~BrowseClass() override;

  // Attributes.
  int ListControl = 0;
  int SelectControl = 0, ViewControl = 0, InsertControl = 0, ChangeControl = 0, DeleteControl = 0;
  bool HideSelect = false;   // the select button is hidden and disabled unless selecting
  bool UsePopup = true;      // a right click opens the popup (which offers nothing here)
  bool EditViaPopup = true;  // Ins, Del, Ctrl+Enter and Shift+Enter start insert, delete, change, view
  bool Selecting = false;    // the window was asked to select (set by Init)
  bool FileLoaded = false;   // the whole view is read at once, else a page at a time
  bool QuickScan = false;    // a file-loaded filling hints the file's driver to read ahead
  std::uint16_t AskProcedure = 0;  // the window's update procedure for the ask protocol

  // Ties the list to its control, its view, its queue, the file's relation manager
  // and the window manager, and registers it with the window manager.
  void Init(int listControl, storage::File& view, ListQueue& queue, RelationManager& relation,
            WindowManager& window);
  void Kill() override;

  // The sort order: a key, or kRecordOrder; the thumb step or none.
  void AddSortOrder(StepClass* step, int key);
  void AddLocator(LocatorClass& locator);
  // A field pair: the source (a file field or a variable) and its queue column.
  void AddField(ui::Use source);
  void SetUsePopup(bool on) { UsePopup = on; }

  // Reads a page (file-loaded: every remaining row) beyond the queue's edge in the
  // given direction.
  virtual void Fetch(Direction d);
  // Called each time the list has been filled from the view anew; not after a filling
  // that a read error stopped (the list then closes, its rows cleared).
  virtual void ResetFromView() {}
  // Fills the list again, at the record in the record buffer.
  void ResetFromBuffer();
  // The sources' current values into the list's row buffer (not added to the queue).
  void SetQueueRecord();
  const ListQueue::Row& QueueRecord() const { return record_; }
  // The ask protocol with a request (view, insert, change, delete).
  void Ask(std::uint8_t request);

  // The rows and the highlighted one (1-based, 0 none).
  const ListQueue& Queue() const { return *queue_; }
  int Records() const { return static_cast<int>(queue_ ? queue_->size() : 0); }
  int Choice() const { return choice_ + 1; }

  // WindowComponent.
  void Reset(bool force) override;
  using ViewManager::Reset;
  void Update() override;
  bool ResetRequired() override;
  void SetAlerts() override;
  void UpdateWindow() override;
  std::uint8_t TakeEvent(const ui::EventRec& e) override;

 protected:
  ui::Window* window() const { return manager_ ? manager_->window() : nullptr; }
  void TakeAccepted(int control);
  void TakeNewSelection(int row);
  void TakeKey(int key, int row);
  void TakeScroll(const ui::EventRec& e);

 private:
  enum class Anchor : std::uint8_t { Top, Bottom, Position, Buffer };
  // Fills the list anew and shows it, the highlight at the anchor.
  void refill(Anchor a, std::string position = {});
  // The position of the first row at or after the anchor ("" none).
  std::string locate(Anchor a, const std::string& position);
  // Reads up to max rows from the view's current place; a first row at skip is left out.
  int readRows(std::vector<ListQueue::Row>& out, Direction d, int max, const std::string& skip);
  void copySources(ListQueue::Row& row) const;  // the sources' values into row
  int fetch(Direction d, int max);  // rows added beyond the queue's edge
  void readPage(const std::string& start);
  void setLimits();
  int pageSize() const;
  void takeRow();  // the highlighted row into the sources (a cleared record when none)
  void show();     // rows, highlight and thumb into the window
  void changed();  // the highlight moved: into the sources, shown, a window reset wanted
  int findRow(const std::string& position) const;
  void press(int control);
  // The highlighted row's record was not read again (Update): why is shown, the list
  // filled anew at its place.
  void rowLost();

  WindowManager* manager_ = nullptr;
  ListQueue* queue_ = nullptr;
  StepClass* step_ = nullptr;
  LocatorClass* locator_ = nullptr;
  std::vector<ui::Use> pairs_;
  ListQueue::Row record_;
  int choice_ = -1;  // the highlighted row, 0-based
  bool loaded_ = false;
  bool atTop_ = false, atBottom_ = false;  // the page holds the view's first / last row
  bool needReset_ = false;
  bool killed_ = false;
  int ownSelections_ = 0;  // new-selection events the list posted itself, not yet taken
  int fetched_ = 0;        // rows the last Fetch added
  int lost_ = 0;           // the storage code of Update's failed re-read of the row, 0 none
  bool rowsChanged_ = true;  // the window's rows are to be formatted again
  bool readFailed_ = false;  // a read of the view failed during the filling under way
};

}  // namespace zelk::fw
