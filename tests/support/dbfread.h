#pragma once
// The outside dBase reader: python's dbfread, run over a file the program wrote, to
// check that another program reads it as we mean it to be read.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "support/tempdir.h"

namespace zelk::test {

// Runs a python script after "import sys, dbfread", written into dir, over the
// arguments; what it prints (UTF-8) and its errors. "no dbfread" when python or
// dbfread is missing.
inline std::string readWithDbfread(const TempDir& dir, const std::string& script, const std::string& args) {
  if (std::system("/usr/bin/python3 -c 'import dbfread' >/dev/null 2>&1") != 0) return "no dbfread";
  std::ofstream(dir / "read.py") << "import sys, dbfread\n" << script;
  const std::string cmd = "PYTHONIOENCODING=utf-8 /usr/bin/python3 " + (dir / "read.py") + " " + args + " 2>&1";
  std::string out;
  if (FILE* p = popen(cmd.c_str(), "r")) {
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    pclose(p);
  }
  return out;
}

}  // namespace zelk::test
