#include "platform/framework/step.h"

#include <algorithm>
#include <cmath>

#include "platform/core/codepage.h"
#include "platform/core/text.h"
#include "platform/storage/record.h"
#include "platform/ui/defs.h"

namespace zelk::fw {
namespace {

using storage::FieldDesc;
using storage::FieldType;

using storage::fieldNumber;

bool isText(const FieldDesc& f) { return f.type == FieldType::Text || f.type == FieldType::Memo; }

// The characters a text thumb steps over: digits and capital letters, in byte order.
bool stepCharacter(unsigned char c) {
  if (c >= '0' && c <= '9') return true;
  char ch = static_cast<char>(c);
  return cp::upper(ch) == ch && cp::lower(ch) != ch;
}

}  // namespace

void StepClass::bind(const storage::FieldDesc& field, bool noCase) {
  field_ = &field;
  noCase_ = noCase;
}

void StepLongClass::Init(unsigned controls) { controls_ = controls; }

void StepLongClass::SetLimit(const char* first, const char* last) {
  if (!field_) return;
  low_ = fieldNumber(*field_, first);
  high_ = fieldNumber(*field_, last);
}

int StepLongClass::GetPercentile(const char* rec) const {
  if (!field_ || high_ <= low_) return 0;
  double p = (fieldNumber(*field_, rec) - low_) * 100 / (high_ - low_);
  return static_cast<int>(std::lround(std::clamp(p, 0.0, 100.0)));
}

void StepLongClass::SetValue(char* rec, int percent) const {
  if (!field_) return;
  double v = low_ + (high_ - low_) * std::clamp(percent, 0, 100) / 100.0;
  ui::useField(*field_, rec).setNumber(std::round(v));
}

void StepStringClass::Init(unsigned controls, int mode) {
  controls_ = controls;
  mode_ = mode;
  steps_.clear();
  for (int c = 1; c < 256; ++c)
    if (stepCharacter(static_cast<unsigned char>(c))) steps_.push_back(static_cast<unsigned char>(c));
}

unsigned char StepStringClass::leading(const char* rec) const {
  if (!field_ || !isText(*field_) || field_->size == 0) return ' ';
  return static_cast<unsigned char>(cp::upper(rec[field_->offset]));
}

void StepStringClass::SetLimit(const char* first, const char* last) {
  if (mode_ != kRunTime || !field_) return;
  unsigned char lo = leading(first), hi = leading(last);
  steps_.clear();
  steps_.push_back(lo);
  for (int c = lo + 1; c < hi; ++c)
    if (stepCharacter(static_cast<unsigned char>(c))) steps_.push_back(static_cast<unsigned char>(c));
  if (hi > lo) steps_.push_back(hi);
}

int StepStringClass::GetPercentile(const char* rec) const {
  if (steps_.size() < 2) return 0;
  unsigned char c = leading(rec);
  auto it = std::upper_bound(steps_.begin(), steps_.end(), c);
  std::size_t idx = it == steps_.begin() ? 0 : static_cast<std::size_t>(it - steps_.begin()) - 1;
  return static_cast<int>(idx * 100 / (steps_.size() - 1));
}

void StepStringClass::SetValue(char* rec, int percent) const {
  if (!field_ || !isText(*field_) || steps_.empty()) return;
  std::size_t idx = static_cast<std::size_t>(
      std::lround(std::clamp(percent, 0, 100) * static_cast<double>(steps_.size() - 1) / 100));
  char c = static_cast<char>(steps_[std::min(idx, steps_.size() - 1)]);
  assignText(rec + field_->offset, field_->size, std::string_view(&c, 1));
}

}  // namespace zelk::fw
