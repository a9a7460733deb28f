#include "platform/framework/listqueue.h"

#include <cstring>

#include "platform/core/numread.h"
#include "platform/core/text.h"

namespace zelk::fw {

void ListQueue::addColumn(bool text, std::size_t width) {
  std::size_t w = text ? width : sizeof(double);
  columns_.push_back({text, rowSize_, w});
  rowSize_ += w;
}

void ListQueue::clearColumns() {
  columns_.clear();
  rowSize_ = 0;
}

std::string_view ListQueue::text(const Row& r, std::size_t column) const {
  const Column& c = columns_[column];
  if (!c.text || r.values.size() < c.offset + c.width) return {};
  return std::string_view(r.values.data() + c.offset, c.width);
}

double ListQueue::number(const Row& r, std::size_t column) const {
  const Column& c = columns_[column];
  double v = 0;
  if (c.text) return readDecimalNumber(text(r, column));
  if (r.values.size() >= c.offset + sizeof v) std::memcpy(&v, r.values.data() + c.offset, sizeof v);
  return v;
}

void ListQueue::setText(Row& r, std::size_t column, std::string_view v) const {
  const Column& c = columns_[column];
  if (r.values.size() < rowSize_) r.values.resize(rowSize_, ' ');
  if (c.text) assignText(r.values.data() + c.offset, c.width, v);
}

void ListQueue::setNumber(Row& r, std::size_t column, double v) const {
  const Column& c = columns_[column];
  if (r.values.size() < rowSize_) r.values.resize(rowSize_, ' ');
  if (!c.text) std::memcpy(r.values.data() + c.offset, &v, sizeof v);
}

}  // namespace zelk::fw
