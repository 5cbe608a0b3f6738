// Test helpers of the lookup: a drive with a small TABEMAR, and another
// program (the real vrx tool in its own process) holding a brand locked.
#ifndef MODULES_QUERVILOS_TEST_SUPPORT_H_
#define MODULES_QUERVILOS_TEST_SUPPORT_H_

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "modules/quervilos/brand_table.h"
#include "platform/files/engine_test_support.h"
#include "platform/files/sqlite_store.h"
#include "platform/text/cp1252.h"

extern char** environ;

namespace quervilos::testing {

// A TABEMAR record: code, description (UTF-8 here, Windows-1252 in the file).
inline std::string tabemar_record(std::string_view code, std::string_view description) {
  std::string record(tabemar_description().record_length, ' ');
  record.replace(0, code.size(), code);
  const std::string d = vantrexo::utf8_to_cp1252(description).value();
  record.replace(3, d.size(), d);
  return record;
}

// The brands of the tests, as (code, description). In the order of the
// description's bytes: "Ç" and "Ó" come after every plain letter.
inline const std::vector<std::pair<std::string, std::string>>& sample_brands() {
  static const std::vector<std::pair<std::string, std::string>> brands = {
      {"A01", "PARAFUSOS BRASIL"},  {"A02", "AÇOS ÁGUIA"},  {"B10", "ÓLEOS DO SUL"},
      {"C07", "ACABAMENTOS FINOS"}, {"Z99", "ZINCO E CIA"}, {"X01", "ARRUELAS ALFA"},
  };
  return brands;
}

// A drive (a scratch folder) whose TABEMAR holds `brands`.
class BrandDrive {
 public:
  explicit BrandDrive(const std::vector<std::pair<std::string, std::string>>& brands) {
    std::vector<std::string> records;
    for (const auto& [code, description] : brands)
      records.push_back(tabemar_record(code, description));
    const vrx::AdminResult loaded =
        vrx::testing::load(tabemar_path(), tabemar_description(), records);
    if (!loaded.ok) throw std::runtime_error(loaded.message);
  }
  // A drive without TABEMAR.
  BrandDrive() = default;

  const std::filesystem::path& path() const { return folder_.path(); }
  std::filesystem::path tabemar_path() const {
    return vrx::map_catalogue_path(tabemar_description().catalogue_path, folder_.path());
  }

 private:
  vrx::testing::ScratchFolder folder_;
};

// `vrx lock TABEMAR CODE` in a process of its own: holds the brand's record
// lock from its "locked" line until the object ends.
class LockingProgram {
 public:
  LockingProgram(const std::filesystem::path& drive, const std::string& code) {
    int to_child[2];
    int from_child[2];
    if (pipe2(to_child, O_CLOEXEC) != 0 || pipe2(from_child, O_CLOEXEC) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, to_child[0], 0);
    posix_spawn_file_actions_adddup2(&actions, from_child[1], 1);
    std::vector<std::string> args = {
        VANTREXO_BINARY_DIR "/vrx", "--drive", drive.string(), "lock", "TABEMAR", code};
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(to_child[0]);
    close(from_child[1]);
    stdin_ = to_child[1];
    stdout_ = from_child[0];
  }
  ~LockingProgram() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (stdin_ >= 0) close(stdin_);
    if (stdout_ >= 0) close(stdout_);
  }
  LockingProgram(const LockingProgram&) = delete;
  LockingProgram& operator=(const LockingProgram&) = delete;

  // Whether it said it holds the lock, within ten seconds.
  bool holds_lock() {
    std::string line;
    char c = 0;
    pollfd p{stdout_, POLLIN, 0};
    while (line.find('\n') == std::string::npos && poll(&p, 1, 10000) == 1 &&
           read(stdout_, &c, 1) == 1) {
      line += c;
    }
    return line.rfind("locked", 0) == 0;
  }

 private:
  pid_t pid_ = -1;
  int stdin_ = -1;
  int stdout_ = -1;
};

}  // namespace quervilos::testing

#endif  // MODULES_QUERVILOS_TEST_SUPPORT_H_
