#pragma once
// Whole files for tests and benchmarks: read into a string, written from one.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

namespace zelk::test {

// Every byte of the file; "" when it cannot be read.
inline std::string readAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Replaces the file's content with bytes (the folder must exist).
inline void writeAll(const std::filesystem::path& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace zelk::test
