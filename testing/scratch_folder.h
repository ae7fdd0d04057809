#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace kelvara {

// A folder of the test's own under the system's temporary folder, removed
// with everything in it (read-only parts included) when the test ends.
class ScratchFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    folder = std::filesystem::temp_directory_path() /
             ("kelvara-" + name + "-" + std::to_string(std::random_device{}()));
    std::filesystem::create_directories(folder);
  }
  void TearDown() override {
    std::error_code ignored;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder, ignored)) {
      std::filesystem::permissions(entry, std::filesystem::perms::owner_all,
                                   std::filesystem::perm_options::add, ignored);
    }
    std::filesystem::remove_all(folder, ignored);
  }
  std::string PathOf(const std::string& name) const { return (folder / name).string(); }
  void Put(const std::string& name, const std::string& bytes) const {
    std::ofstream(folder / name, std::ios::binary) << bytes;
  }
  std::string Get(const std::string& name) const {
    std::ifstream in(folder / name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  // The names in the folder that a run left behind as temporary files.
  int Temporaries() const {
    const auto entries = std::filesystem::directory_iterator(folder);
    return static_cast<int>(std::count_if(begin(entries), end(entries), [](const auto& entry) {
      return entry.path().filename().string().starts_with(".kelvara-");
    }));
  }

  std::filesystem::path folder;
};

}  // namespace kelvara
