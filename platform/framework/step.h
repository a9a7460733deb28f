#pragma once
// The thumb steps of a list: where its thumb stands for a row, and the key value at a
// thumb position.
#include <vector>

#include "platform/storage/file.h"

namespace zelk::fw {

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

}  // namespace zelk::fw
