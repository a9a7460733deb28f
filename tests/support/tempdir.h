#pragma once
// A temporary folder for one test, removed with everything in it afterwards.
#include <cstdlib>
#include <filesystem>
#include <string>

namespace zelk::test {

class TempDir {
 public:
  TempDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "zelk-test-XXXXXX").string();
    char* p = mkdtemp(tmpl.data());
    path_ = p ? p : tmpl;
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

}  // namespace zelk::test
