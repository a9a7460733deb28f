#pragma once
// Window definitions: a window's title, font, place and controls as a table. The
// controls are in declaration order, so a control's number is its position (1 for
// the first); in an application frame the menu controls are numbered -1, -2 ... in
// their order and the other controls 1, 2 ...
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/core/fields.h"
#include "platform/core/text.h"
#include "platform/storage/file.h"

namespace zelk::ui {

enum class Kind : std::uint8_t {
  MenuBar, Menu, Item,  // a menu bar, a menu (or submenu), a menu item
  List, Entry, Button,
  Sheet, Tab,           // a sheet and its tabs
  Option, Radio,        // an option box and its radios
  Group, Prompt, String, Line,
};

// Positions and sizes in dialog units (a quarter of the average character width,
// an eighth of the character height of the window's font). A width or height of 0
// lets the control take its natural size.
struct Rect {
  int x = 0, y = 0, w = 0, h = 0;
  bool operator==(const Rect&) const = default;
};

// Control attributes.
enum Attr : std::uint32_t {
  kHidden = 1u << 0,
  kDisabled = 1u << 1,
  kReadOnly = 1u << 2,
  kRequired = 1u << 3,
  kImmediate = 1u << 4,
  kDefault = 1u << 5,   // the window's default button (Enter presses it)
  kSkip = 1u << 6,      // not reached with Tab
  kVScroll = 1u << 7,
  kHScroll = 1u << 8,
  kTransparent = 1u << 9,
};

// A USE variable: what a control shows and edits. Text variables are read and
// written as text (1251), number and date variables as numbers (a date is a day
// number). Made with use(...) from record fields, program-wide variables or locals.
struct Use {
  enum class Type : std::uint8_t { None, Text, Number, Date };
  Type type = Type::None;
  std::size_t width = 0;  // characters of a text variable
  std::function<std::string()> getText;
  std::function<void(std::string_view)> setText;
  std::function<double()> getNumber;
  std::function<void(double)> setNumber;
  explicit operator bool() const { return type != Type::None; }
};

template <std::size_t N>
Use use(Text<N>& v) {
  return {Use::Type::Text, N, [&v] { return std::string(v.view()); }, [&v](std::string_view s) { v = s; }, {}, {}};
}
template <std::size_t N>
Use use(SharedText<N>& v) {
  return {Use::Type::Text, N, [&v] { return std::string(v.get().view()); }, [&v](std::string_view s) { v = s; },
          {}, {}};
}
template <class T>
Use use(LeField<T>& v) {
  return {Use::Type::Number, 0, {}, {}, [&v] { return static_cast<double>(v.get()); },
          [&v](double d) { v = numberTo<T>(d); }};
}
inline Use use(DateField& v) {
  return {Use::Type::Date, 0, {}, {}, [&v] { return static_cast<double>(v.day()); },
          [&v](double d) { v = static_cast<std::int32_t>(d); }};
}
template <class V>
struct ValueOf {
  using type = V;
};
template <class V>
struct ValueOf<std::atomic<V>> {
  using type = V;
};
// A number variable of any arithmetic kind (a local, an atomic program-wide one).
template <class V>
Use useNumber(V& v) {
  using T = typename ValueOf<V>::type;
  return {Use::Type::Number, 0, {}, {}, [&v] { return static_cast<double>(static_cast<T>(v)); },
          [&v](double d) { v = numberTo<T>(d); }};
}
template <class V>
Use useDate(V& v) {
  Use u = useNumber(v);
  u.type = Use::Type::Date;
  return u;
}
// A record field through its descriptor and record buffer.
Use useField(const storage::FieldDesc& f, char* buffer);

// A standard action of the framework that a menu item or button carries: the
// window manager performs it when the control is accepted.
enum class StdAction : std::uint8_t {
  None,
  Close,       // closes the window, as its close box does
  PrintSetup,  // the printer set-up dialog
};

struct ControlDef {
  Kind kind = Kind::String;
  std::string name;     // "?BUTTON4"
  std::string text;     // 1251
  Rect at;
  std::string picture;  // "s50", "n-18.2", "D6b" ...
  Use use;
  std::uint32_t attrs = 0;
  int parent = 0;       // the sheet of a tab, the tab or group a control stands on, the option
                        // box of a radio, the menu of an item: its control number; 0 none
  std::string parentName;  // the same by name ("?SHEET1"), resolved when the window is built
  std::string value;    // a radio's value
  std::string tip;
  std::string icon;
  std::string font;     // "" the window's font
  int fontSize = 0;
  bool bold = false;    // the control's font in bold
  std::string format;   // a list's format ("16L(2)|M~Код~L(0)@n3@...")
  StdAction action = StdAction::None;
};

enum class WindowKind : std::uint8_t { AppFrame, Window };

struct WindowDef {
  std::string key;    // "ZELK$zelk007"
  std::string label;  // "WINDOW"
  WindowKind kind = WindowKind::Window;
  std::string title;  // 1251
  std::string icon;
  std::string font = "MS Sans Serif";
  int fontSize = 8;
  Rect at;                 // place and size; a coordinate of kDefaultPosition: the default place
  bool resizable = false;  // the user may resize it
  bool maximizeBox = false;
  std::string wallpaper;   // the name of a picture among the program's resources
  std::vector<ControlDef> controls;
};

// The smallest 32-bit number: a coordinate not recorded, or a default place.
inline constexpr int kDefaultPosition = INT32_MIN;

// One column of a list format.
struct ListColumn {
  int width = 0;
  char align = 'L';  // L, C, R, D (decimal)
  int indent = 0;
  bool resizable = false;  // "|"
  bool rightBorder = false;  // "M" marks a resizable right border; kept with resizable
  std::string header;
  char headerAlign = 'L';
  int headerIndent = 0;
  std::string picture;  // without the "@"s
};
// Parses a list format; columns it cannot read are skipped.
std::vector<ListColumn> parseListFormat(std::string_view format);

}  // namespace zelk::ui
