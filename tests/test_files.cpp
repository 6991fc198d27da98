#include "test_files.h"

#include <atomic>
#include <chrono>
#include <fstream>
#include <string>

ScratchDirectory::ScratchDirectory() {
  static std::atomic<int> counter{0};
  const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  path = std::filesystem::temp_directory_path() /
         ("launcher-test-" + std::to_string(stamp) + "-" + std::to_string(counter++));
  std::filesystem::create_directories(path);
}

ScratchDirectory::~ScratchDirectory() {
  std::error_code ignored;
  std::filesystem::remove_all(path, ignored);
}

WideText WindowsForm(const std::filesystem::path& path) {
  WideText text = path.u16string();
  for (char16_t& unit : text) {
    if (unit == u'/') unit = u'\\';
  }
  return text;
}

WideText WriteFileBytes(const std::filesystem::path& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return WindowsForm(path);
}
