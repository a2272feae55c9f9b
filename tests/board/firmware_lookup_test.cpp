// Where the firmware file is looked for, and how the program finds its own directory.
#include "board/firmware_lookup.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <tuple>
#include <vector>

namespace kv4410::board {
namespace {

namespace fs = std::filesystem;

class FirmwareLookupTest : public ::testing::Test {
 protected:
  const fs::path root = fs::temp_directory_path() / ("kv4410_lookup_" + std::to_string(getpid()));
  void SetUp() override {
    fs::create_directories(root / "bin");
    fs::create_directories(root / "share");
  }
  void TearDown() override { fs::remove_all(root); }
};

TEST_F(FirmwareLookupTest, ProgramDirectoryFirstThenSharedFolder) {
  const std::string bin = "bin/KV4410SPI.hex", share = "share/KV4410SPI.hex";
  struct Case {
    std::vector<std::string> files;  // made under root; a trailing '/' makes a folder
    std::string found;
    std::vector<std::string> tried;
  };
  for (const Case& c :
       {Case{{}, bin, {bin, share}}, Case{{share}, share, {bin, share}},
        Case{{bin, share}, bin, {bin}}, Case{{bin + "/", share}, share, {bin, share}}}) {
    fs::remove_all(root / bin);
    fs::remove_all(root / share);
    for (const std::string& file : c.files) {
      if (file.back() == '/') {
        fs::create_directory(root / file);
      } else {
        std::ofstream{root / file};
      }
    }
    const FirmwareLookup lookup = findFirmware({root / "bin", root / "share"});
    EXPECT_EQ(lookup.path, root / c.found);
    std::vector<std::string> tried;
    for (const fs::path& path : lookup.tried) {
      tried.push_back(path.lexically_relative(root).string());
    }
    EXPECT_EQ(tried, c.tried);
  }
}

TEST_F(FirmwareLookupTest, ProgramDirectoryFallsBackToArgv0ThenPath) {
  const fs::path program = root / "bin" / "kv4410ctl";
  std::ofstream{program};
  fs::permissions(program, fs::perms::owner_all);
  fs::create_directory_symlink(root / "bin", root / "link");
  fs::create_symlink(program, root / "self");
  const std::string path = "/nonexistent:" + (root / "link").string();
  const fs::path none = "/nonexistent/exe";
  for (const auto& [selfLink, argv0, expected] :
       {std::tuple{root / "self", std::string("ignored"), root / "bin"},
        std::tuple{none, (root / "link" / "kv4410ctl").string(), root / "bin"},
        std::tuple{none, std::string("kv4410ctl"), root / "bin"},
        std::tuple{none, std::string("not-there"), fs::current_path()}}) {
    EXPECT_EQ(programDirectory(selfLink, argv0, path), fs::weakly_canonical(expected)) << argv0;
  }
}

}  // namespace
}  // namespace kv4410::board
