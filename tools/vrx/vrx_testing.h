// Test helpers for vrx: a temporary drive, and a run of the tool in-process
// against string streams with that drive.
#ifndef TOOLS_VRX_VRX_TESTING_H_
#define TOOLS_VRX_VRX_TESTING_H_

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "data/catalogue.h"
#include "platform/files/sqlite_store.h"
#include "tools/vrx/vrx.h"

namespace vrx::tool::testing {

struct VrxRun {
  int exit_code = -1;
  std::string out;
  std::string err;
};

// A fresh folder that stands for the drive, removed at the end of the test.
class TempDrive {
 public:
  TempDrive() {
    std::string pattern = (std::filesystem::path(::testing::TempDir()) / "vrx-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) ADD_FAILURE() << "mkdtemp failed";
    path_ = pattern;
  }
  ~TempDrive() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempDrive(const TempDrive&) = delete;
  TempDrive& operator=(const TempDrive&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path file(std::string_view name) const {
    return map_catalogue_path(dravel::find_file(name)->catalogue_path, path_);
  }

  // vrx --drive DRIVE args..., with `input` as standard input.
  VrxRun vrx(std::vector<std::string> args, const std::string& input = {}) const {
    args.insert(args.begin(), {"vrx", "--drive", path_.string()});
    return run(args, input);
  }

  // vrx args... exactly as given (no drive).
  static VrxRun run(const std::vector<std::string>& args, const std::string& input = {}) {
    std::vector<const char*> argv;
    for (const std::string& a : args) argv.push_back(a.c_str());
    std::istringstream in(input);
    std::ostringstream out;
    std::ostringstream err;
    VrxRun r;
    r.exit_code = run_vrx(static_cast<int>(argv.size()), argv.data(), in, out, err);
    r.out = out.str();
    r.err = err.str();
    return r;
  }

 private:
  std::filesystem::path path_;
};

inline std::string read_bytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace vrx::tool::testing

#endif  // TOOLS_VRX_VRX_TESTING_H_
