// Runs every benchmark; each prints its own figures.
void benchDbase();
void benchQt();
void benchDat21();
void benchOdbc();
void benchImport();
void benchLists();

int main() {
  benchDbase();
  benchQt();
  benchDat21();
  benchOdbc();
  benchImport();
  benchLists();
  return 0;
}
