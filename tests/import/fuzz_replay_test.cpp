// Every input that once made a fuzz target fail, replayed through that target's
// entry: tests/fixtures/fuzz/<target>/ holds them, one file each. The examples, the
// targets' seeds, go through them too.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

extern "C" int zelk_fuzz_dat21_open(const std::uint8_t* data, std::size_t size);
int zelk_fuzz_dbase_open(const std::uint8_t* data, std::size_t size);
int zelk_fuzz_text_read(const std::uint8_t* data, std::size_t size);
int zelk_fuzz_loko(const std::uint8_t* data, std::size_t size);
int zelk_fuzz_bss(const std::uint8_t* data, std::size_t size);
int zelk_fuzz_rfk(const std::uint8_t* data, std::size_t size);

namespace {

namespace fs = std::filesystem;

struct Target {
  const char* name;
  int (*entry)(const std::uint8_t*, std::size_t);
  std::vector<const char*> examples;  // under examples/
};

class FuzzReplay : public testing::TestWithParam<Target> {};

TEST_P(FuzzReplay, EveryFixtureRunsClean) {
  std::vector<fs::path> inputs;
  for (const char* e : GetParam().examples) inputs.push_back(fs::path(ZELK_SOURCE_DIR) / "examples" / e);
  if (const char* fixtures = std::getenv("ZELK_TEST_FIXTURES")) {
    const fs::path folder = fs::path(fixtures) / "fuzz" / GetParam().name;
    std::vector<fs::path> found;
    if (fs::is_directory(folder))
      for (const auto& e : fs::directory_iterator(folder))
        if (e.is_regular_file()) found.push_back(e.path());
    std::sort(found.begin(), found.end());
    inputs.insert(inputs.end(), found.begin(), found.end());
  }
  for (const fs::path& p : inputs) {
    SCOPED_TRACE(p.string());
    std::ifstream in(p, std::ios::binary);
    ASSERT_TRUE(in) << "cannot read it";
    const std::string bytes((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(GetParam().entry(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()), 0);
  }
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzReplay,
                         testing::Values(Target{"dat21_open", zelk_fuzz_dat21_open, {}},
                                         Target{"dbase_open", zelk_fuzz_dbase_open, {"rfk/subs_clt.dbf", "loko/dbi.dbf"}},
                                         Target{"text_read", zelk_fuzz_text_read, {"loko/vypiska.txt", "bss/vypiska.txt"}},
                                         Target{"loko", zelk_fuzz_loko, {"loko/vypiska.txt"}},
                                         Target{"bss", zelk_fuzz_bss, {"bss/vypiska.txt"}},
                                         Target{"rfk", zelk_fuzz_rfk, {"rfk/subs_clt.dbf"}}),
                         [](const testing::TestParamInfo<Target>& i) { return std::string(i.param.name); });

}  // namespace
