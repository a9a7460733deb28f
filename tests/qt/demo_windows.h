#pragma once
// Test windows for the screen's tests and screenshots: a form with one control of
// every kind, an application frame with menus and the wallpaper, a list window.
#include <string>
#include <vector>

#include "platform/core/text.h"
#include "platform/ui/defs.h"
#include "platform/ui/window.h"

namespace zelk::test {

struct FormVars {
  int code = 7;
  Text<40> name = std::string_view("Firm");
  Text<30> bank;
  Text<1> kind = std::string_view("2");
  long postings = 0;
};

// Controls of the form, by number.
namespace form {
inline constexpr int kCodePrompt = 1, kCode = 2, kNamePrompt = 3, kName = 4, kSheet = 5, kTab1 = 6,
                     kBankPrompt = 7, kBank = 8, kTab2 = 9, kKind = 10, kLoko = 11, kRfk = 12, kTotals = 13,
                     kCount = 14, kLine = 15, kList = 16, kOk = 17, kClose = 18, kHelp = 19, kCountPrompt = 20;
}

ui::WindowDef firmForm(FormVars& v);

// Frame controls: the menu bar and menus (-1 ...).
namespace frame {
inline constexpr int kBar = -1, kFile = -2, kChoose = -3, kSeparator = -4, kExit = -5, kImport = -6, kBanks = -7,
                     kLoko = -8, kRfk = -9, kReview = -10;
}
ui::WindowDef appFrame();

// A list window: the list (1), a counter string (2), a close button (3).
ui::WindowDef listWindow(const std::string& title);
std::vector<ui::Window::Row> listRows(int count, int from = 1);

}  // namespace zelk::test
