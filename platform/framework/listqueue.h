#pragma once
// The rows of a list.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace zelk::fw {

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
    bool operator==(const Row&) const = default;
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

}  // namespace zelk::fw
