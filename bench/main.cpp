// Runs every benchmark; each prints its own figures.
void benchDbase();
void benchDat21();
void benchOdbc();

int main() {
  benchDbase();
  benchDat21();
  benchOdbc();
  return 0;
}
