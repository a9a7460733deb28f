#include "platform/ui/defs.h"

#include <charconv>
#include <cstring>

#include "platform/storage/record.h"

namespace zelk::ui {

Use useField(const storage::FieldDesc& f, char* buffer) {
  char* p = buffer + f.offset;
  Use u;
  switch (f.type) {
    case storage::FieldType::Text:
    case storage::FieldType::Memo:
      u.type = Use::Type::Text;
      u.width = f.size;
      u.getText = [p, n = f.size] { return std::string(p, n); };
      u.setText = [p, n = f.size](std::string_view s) { assignText(p, n, s); };
      return u;
    default:
      break;
  }
  u.type = f.type == storage::FieldType::Date ? Use::Type::Date : Use::Type::Number;
  u.getNumber = [f, buffer] { return storage::fieldNumber(f, buffer); };
  u.setNumber = [f, buffer](double v) { storage::setFieldNumber(f, buffer, v); };
  return u;
}

namespace {

// Reads digits at s[i]; leaves i after them.
int digits(std::string_view s, std::size_t& i) {
  int v = 0;
  std::size_t start = i;
  while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i;
  std::from_chars(s.data() + start, s.data() + i, v);
  return v;
}

bool isAlign(char c) { return c == 'L' || c == 'C' || c == 'R' || c == 'D'; }

}  // namespace

// A column: width, alignment and optional "(indent)", modifiers ("|", "M", "_" ...),
// an optional "~header~" with its own alignment and indent, and "@picture@".
std::vector<ListColumn> parseListFormat(std::string_view f) {
  std::vector<ListColumn> cols;
  std::size_t i = 0;
  while (i < f.size()) {
    if (f[i] < '0' || f[i] > '9') {
      ++i;
      continue;
    }
    ListColumn c;
    c.width = digits(f, i);
    if (i < f.size() && isAlign(f[i])) c.align = f[i++];
    if (i < f.size() && f[i] == '(') {
      ++i;
      c.indent = digits(f, i);
      if (i < f.size() && f[i] == ')') ++i;
    }
    bool headerAlignSet = false;
    while (i < f.size() && f[i] != '@') {
      char ch = f[i];
      if (ch == '|') {
        c.rightBorder = true;
        ++i;
      } else if (ch == 'M') {
        c.resizable = true;
        ++i;
      } else if (ch == '~') {
        std::size_t end = f.find('~', i + 1);
        if (end == std::string_view::npos) end = f.size();
        c.header = std::string(f.substr(i + 1, end - i - 1));
        i = end < f.size() ? end + 1 : end;
        if (i < f.size() && isAlign(f[i])) {
          c.headerAlign = f[i++];
          headerAlignSet = true;
          if (i < f.size() && f[i] == '(') {
            ++i;
            c.headerIndent = digits(f, i);
            if (i < f.size() && f[i] == ')') ++i;
          }
        }
      } else if (ch >= '0' && ch <= '9') {
        break;  // a column without a picture
      } else {
        ++i;
      }
    }
    if (!headerAlignSet) c.headerAlign = c.align;
    if (i < f.size() && f[i] == '@') {
      std::size_t end = f.find('@', i + 1);
      if (end == std::string_view::npos) end = f.size();
      c.picture = std::string(f.substr(i + 1, end - i - 1));
      i = end < f.size() ? end + 1 : end;
    }
    cols.push_back(std::move(c));
  }
  return cols;
}

}  // namespace zelk::ui
