// Runs every benchmark; each prints its own figures.
#include <cstring>

void benchDbase();
void benchQt();
void benchDat21();
void benchOdbc();
void benchImport();
void benchLists();
void benchPostings();
void benchChart();
void benchPartners();

// With names (dbase, qt, dat21, odbc, import, lists, postings, chart, partners) only those run.
int main(int argc, char** argv) {
  const struct {
    const char* name;
    void (*run)();
  } benches[] = {{"dbase", benchDbase},   {"qt", benchQt},       {"dat21", benchDat21},      {"odbc", benchOdbc},
                 {"import", benchImport}, {"lists", benchLists}, {"postings", benchPostings},
                 {"chart", benchChart}, {"partners", benchPartners}};
  for (const auto& b : benches) {
    bool wanted = argc < 2;
    for (int i = 1; i < argc; ++i) wanted = wanted || std::strcmp(argv[i], b.name) == 0;
    if (wanted) b.run();
  }
  return 0;
}
