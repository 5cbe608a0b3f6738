#include "tools/vrx/lock_command.h"

#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "data/catalogue.h"
#include "platform/files/sqlite_store.h"
#include "tools/vrx/vrx_testing.h"

extern char** environ;

namespace vrx::tool {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;
using testing::TempDrive;
using testing::VrxRun;

// The real vrx binary running "lock NAME KEY" with pipes on its standard
// input and output, as an operator's other program would hold a record.
class LockHolder {
 public:
  LockHolder(const TempDrive& drive, const std::string& name, const std::string& key) {
    int to_child[2];
    int from_child[2];
    if (pipe2(to_child, O_CLOEXEC) != 0 || pipe2(from_child, O_CLOEXEC) != 0) {
      ADD_FAILURE() << "pipe2 failed";
      return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, to_child[0], 0);
    posix_spawn_file_actions_adddup2(&actions, from_child[1], 1);
    const std::string program = VANTREXO_BINARY_DIR "/vrx";
    const std::string drive_path = drive.path().string();
    std::vector<std::string> args = {program, "--drive", drive_path, "lock", name, key};
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    if (posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ) != 0) {
      ADD_FAILURE() << "cannot start " << program;
      pid_ = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    close(to_child[0]);
    close(from_child[1]);
    stdin_ = to_child[1];
    stdout_ = from_child[0];
  }

  ~LockHolder() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (stdin_ >= 0) close(stdin_);
    if (stdout_ >= 0) close(stdout_);
  }

  // What the child wrote up to its first newline (or its end), waiting at
  // most ten seconds.
  std::string first_line() {
    std::string line;
    char c = 0;
    pollfd p{stdout_, POLLIN, 0};
    while (line.find('\n') == std::string::npos && poll(&p, 1, 10000) == 1 &&
           read(stdout_, &c, 1) == 1) {
      line += c;
    }
    return line;
  }

  // Closes its standard input and returns its wait status.
  int close_input_and_wait() {
    close(stdin_);
    stdin_ = -1;
    return wait();
  }

  int terminate_and_wait() {
    kill(pid_, SIGTERM);
    return wait();
  }

 private:
  int wait() {
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    return status;
  }

  pid_t pid_ = -1;
  int stdin_ = -1;
  int stdout_ = -1;
};

std::string produto(std::string_view code) {
  std::string r(dravel::find_file("PRODUTO")->record_length, ' ');
  r.replace(0, 6, code);
  r.replace(88, 9, "A01" + std::string(code));
  return r;
}

FileStatus read_from_second_program(const TempDrive& drive, std::string_view code) {
  SqliteFileStore store(drive.path());
  OpenResult opened = store.open(*dravel::find_file("PRODUTO"), OpenMode::input);
  if (!opened.status.ok()) return opened.status;
  std::string area = produto(code);
  const FileStatus status = opened.file->read(area);
  opened.file->close();
  return status;
}

TEST(VrxLock, HoldsTheRecordUntilInputClosesOrTheProcessEnds) {
  struct Ending {
    const char* what;
    int (LockHolder::*end)();
    bool exited_ok;
  };
  for (const Ending ending : {Ending{"input closed", &LockHolder::close_input_and_wait, true},
                              Ending{"terminated", &LockHolder::terminate_and_wait, false}}) {
    SCOPED_TRACE(ending.what);
    TempDrive drive;
    ASSERT_EQ(drive.vrx({"load", "PRODUTO"}, produto("000001") + produto("000002")).exit_code, 0);

    LockHolder holder(drive, "PRODUTO", "000002");
    ASSERT_EQ(holder.first_line(), "locked\n");
    EXPECT_EQ(read_from_second_program(drive, "000002"), FileStatus::record_locked());
    EXPECT_EQ(read_from_second_program(drive, "000001"), FileStatus::success());
    const VrxRun second = drive.vrx({"lock", "PRODUTO", "000002"});
    EXPECT_EQ(second.exit_code, 1);
    EXPECT_THAT(second.err, StartsWith("vrx: PRODUTO: record \"000002\" is locked"));
    EXPECT_THAT(second.err, HasSubstr("99"));

    const int status = (holder.*ending.end)();
    EXPECT_EQ(WIFEXITED(status) && WEXITSTATUS(status) == 0, ending.exited_ok) << status;
    EXPECT_EQ(read_from_second_program(drive, "000002"), FileStatus::success());
  }
}

TEST(VrxLock, KeyIsConvertedAndFilledOutAndFailuresExitOne) {
  TempDrive drive;
  std::string brand(31, ' ');
  brand.replace(0, 2,
                "\xC7"
                "1");  // "Ç1 "
  brand.replace(3, 5, "Marca");
  ASSERT_EQ(drive.vrx({"load", "TABEMAR"}, brand).exit_code, 0);
  ASSERT_EQ(drive.vrx({"load", "PRODUTO"}, produto("000001")).exit_code, 0);

  const VrxRun held = drive.vrx({"lock", "TABEMAR", "Ç1"});  // input ends at once
  EXPECT_EQ(held.exit_code, 0) << held.err;
  EXPECT_EQ(held.out, "locked\n");

  const VrxRun absent = drive.vrx({"lock", "PRODUTO", "000009"});
  EXPECT_EQ(absent.exit_code, 1);
  EXPECT_THAT(absent.err, StartsWith("vrx: PRODUTO: no record with key \"000009\""));
  EXPECT_THAT(absent.err, HasSubstr("23"));
  EXPECT_EQ(absent.out, "");

  const VrxRun no_file = drive.vrx({"lock", "HISTVAL", "1"});
  EXPECT_EQ(no_file.exit_code, 1);
  EXPECT_THAT(no_file.err, StartsWith("vrx: HISTVAL: cannot open"));
  EXPECT_THAT(no_file.err, HasSubstr("35"));
}

}  // namespace
}  // namespace vrx::tool
