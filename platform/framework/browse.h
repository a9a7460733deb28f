#pragma once
// The list over a view of one file.
//
// BrowseClass shows the view in a list control of a window: it keeps the list queue
// (a row per record on show: the values of its field pairs and the row's position),
// fills it at once (FileLoaded) or a page at a time, moves with the scroll events,
// the locator and the thumb step, keeps the list's buttons enabled by the row count,
// calls the window's update procedure for view, insert, change and delete, and keeps
// the highlighted row in the sources of its field pairs. It registers itself as a
// component of its window manager, which passes it the window's events.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/framework/filemanager.h"
#include "platform/framework/listqueue.h"
#include "platform/framework/viewmanager.h"
#include "platform/framework/windowmanager.h"
#include "platform/storage/file.h"
#include "platform/ui/defs.h"
#include "platform/ui/window.h"

namespace zelk::fw {

class LocatorClass;
class StepClass;

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
  // With changed, the rows are read over those out holds, from its first: a row equal
  // to the one in its place leaves it there, another takes the place and its index is
  // noted in changed, as is a row added; the rows beyond the last one read are cut.
  int readRows(std::vector<ListQueue::Row>& out, Direction d, int max, const std::string& skip,
               std::vector<std::size_t>* changed = nullptr);
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
  // The queue was read again over the rows the window shows (rowsChanged_ false): the
  // window's rows are to be cut or grown to the queue's, and those changed formatted.
  bool rowsReread_ = false;
  std::vector<std::size_t> changedRows_;
  bool readFailed_ = false;  // a read of the view failed during the filling under way
};

}  // namespace zelk::fw
