#pragma once
// Letter case tables of the search lists, from the environment file "qvt.env".
//
// The process starts with tables that fold only A-Z. loadCaseTables() looks "qvt.env"
// up beside the program, then in the current folder, and installs its letter pairs;
// once a file has been installed the tables never change again, so any thread reads
// them without a lock. A missing file changes nothing and shows no message.
//
// A search list calls fw::loadCaseTables() when it opens, and tests a row with
// fw::nameHasFragment(name, fragment) (or lower-cases a name with fw::lowerCase).
//
// File format (UTF-8 text): blank lines and lines whose first character other than
// a blank is '#' are skipped; every other line holds pairs of letters, each a capital
// letter followed by its small letter ("АаБбВв"), blanks between pairs allowed. Both
// letters must exist in the program's code page (1251). A line that breaks these
// rules is skipped and named in problems().
#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace zelk::fw {

class CaseTables {
 public:
  CaseTables();  // A-Z only
  // The tables of a file's content: A-Z plus the pairs it holds.
  static CaseTables parse(std::string_view content);

  char lower(char c) const { return low_[static_cast<unsigned char>(c)]; }
  char upper(char c) const { return up_[static_cast<unsigned char>(c)]; }
  std::string lower(std::string_view text) const;  // a 1251 text in small letters

  int pairs() const { return pairs_; }  // pairs taken from a file
  // The lines skipped, as "line <n>: <why>".
  const std::vector<std::string>& problems() const { return problems_; }

 private:
  void addPair(char capital, char small);
  std::array<char, 256> low_{}, up_{};
  int pairs_ = 0;
  std::vector<std::string> problems_;
};

inline constexpr const char* kCaseTablesFile = "qvt.env";

// Installs the tables of "qvt.env" unless a file was installed already; true when
// the tables of a file are in force.
bool loadCaseTables();
// The tables in force (A-Z only until a file is installed).
const CaseTables& caseTables();
// The path of the file installed ("" none).
std::string caseTablesPath();
// text in small letters by the tables in force.
inline std::string lowerCase(std::string_view text) { return caseTables().lower(text); }

// The search lists' row test: the fragment without its trailing blanks, as typed
// (leading blanks count, its letters are not lower-cased), occurs in the name without
// its trailing blanks in small letters. A blank fragment is found in every name.
bool nameHasFragment(std::string_view name, std::string_view fragment, const CaseTables& tables);
inline bool nameHasFragment(std::string_view name, std::string_view fragment) {
  return nameHasFragment(name, fragment, caseTables());
}

}  // namespace zelk::fw
