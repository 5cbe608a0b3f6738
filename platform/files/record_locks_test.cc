// Record locks between programs: two handles in one process behave as two
// programs, and so do two processes.
#include "platform/files/record_locks.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <thread>

#include "platform/files/engine_test_support.h"
#include "platform/files/sqlite_store.h"

namespace vrx {
namespace {

using testing::make_record;

class RecordLocks : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* code : {"A1", "A2", "A3", "A4"}) {
      records_.push_back(make_record(12, {{0, code}, {2, "GRUPO"}}));
    }
    ASSERT_TRUE(testing::load(map_catalogue_path(description_.catalogue_path, drive_.path()),
                              description_, records_)
                    .ok);
  }

  std::unique_ptr<IndexedFile> open(OpenMode mode) {
    OpenResult opened = store_.open(description_, mode);
    EXPECT_TRUE(opened.status.ok()) << opened.status.code();
    return std::move(opened.file);
  }

  std::string key(const char* code) { return make_record(12, {{0, code}}); }

  // A second file like the first, with the same records.
  FileDescription load_second_file() {
    FileDescription second = description_;
    second.catalogue_path = "\\D\\SECOND.VRX";
    EXPECT_TRUE(
        testing::load(map_catalogue_path(second.catalogue_path, drive_.path()), second, records_)
            .ok);
    return second;
  }

  testing::ScratchFolder drive_;
  FileDescription description_ =
      testing::describe("\\D\\LOCKS.VRX", 12, {{0, 2, false}, {2, 5, true}});
  std::vector<std::string> records_;
  SqliteFileStore store_{drive_.path()};
};

TEST_F(RecordLocks, ReadInInputOutputLocksUntilNextReadUnlockOrClose) {
  auto holder = open(OpenMode::input_output);
  auto other = open(OpenMode::input_output);
  auto reader = open(OpenMode::input);
  std::string area = key("A2");
  ASSERT_TRUE(holder->read(area).ok());

  std::string probe = key("A2");
  EXPECT_EQ(other->read(probe).code(), "99");
  EXPECT_EQ(probe, key("A2"));  // the area is not touched
  EXPECT_EQ(reader->read(probe).code(), "99");
  EXPECT_EQ(other->remove(probe).code(), "99");

  // An input handle only tests: it never keeps anyone out.
  ASSERT_TRUE(reader->read(probe = key("A3")).ok());
  ASSERT_TRUE(other->read(probe = key("A3")).ok());
  ASSERT_TRUE(other->unlock().ok());

  // The next read on the holder releases the previous record.
  ASSERT_TRUE(holder->read(area = key("A1")).ok());
  EXPECT_TRUE(other->read(probe = key("A2")).ok());
  EXPECT_EQ(other->read(probe = key("A1")).code(), "99");
  ASSERT_TRUE(holder->unlock().ok());
  EXPECT_TRUE(other->read(probe = key("A1")).ok());
  ASSERT_TRUE(other->unlock().ok());

  ASSERT_TRUE(holder->read(area = key("A4")).ok());
  ASSERT_TRUE(holder->close().ok());
  EXPECT_TRUE(other->read(probe = key("A4")).ok());
}

TEST_F(RecordLocks, ReadNextStopsAtALockedRecordAndDeliversItLater) {
  auto holder = open(OpenMode::input_output);
  for (OpenMode mode : {OpenMode::input, OpenMode::input_output}) {
    SCOPED_TRACE(mode == OpenMode::input ? "input" : "input-output");
    auto scanner = open(mode);
    std::string held = key("A2");
    ASSERT_TRUE(holder->read(held).ok());
    std::string area = key("A1");
    ASSERT_TRUE(scanner->start(0, area).ok());
    ASSERT_TRUE(scanner->read_next(area).ok());
    EXPECT_EQ(area, records_[0]);
    EXPECT_EQ(scanner->read_next(area).code(), "99");
    EXPECT_EQ(scanner->read_next(area).code(), "99");
    EXPECT_EQ(area, records_[0]);
    ASSERT_TRUE(holder->unlock().ok());
    ASSERT_TRUE(scanner->read_next(area).ok());
    EXPECT_EQ(area, records_[1]);
    ASSERT_TRUE(scanner->read_next(area).ok());
    EXPECT_EQ(area, records_[2]);
  }
}

TEST_F(RecordLocks, DeletedRecordStaysLockedForOthersUntilCommitted) {
  auto deleter = open(OpenMode::input_output);
  auto other = open(OpenMode::input_output);
  auto reader = open(OpenMode::input);
  std::string area = key("A3");
  ASSERT_TRUE(deleter->read(area).ok());
  ASSERT_TRUE(deleter->unlock().ok());
  ASSERT_TRUE(deleter->remove(area).ok());

  // The deleter no longer sees it; the others see it held until the commit.
  std::string probe = key("A3");
  EXPECT_EQ(deleter->read(probe).code(), "23");
  EXPECT_EQ(other->read(probe = key("A3")).code(), "99");
  EXPECT_EQ(reader->read(probe = key("A3")).code(), "99");
  EXPECT_EQ(other->remove(probe = key("A3")).code(), "99");
  ASSERT_TRUE(deleter->commit().ok());
  EXPECT_EQ(other->read(probe = key("A3")).code(), "23");
  EXPECT_EQ(reader->read(probe = key("A3")).code(), "23");

  // Read next on the deleter goes on after the deleted record.
  ASSERT_TRUE(deleter->start(0, area = key("A1")).ok());
  ASSERT_TRUE(deleter->read_next(area).ok());
  ASSERT_TRUE(deleter->read_next(area).ok());
  ASSERT_TRUE(deleter->remove(area).ok());
  ASSERT_TRUE(deleter->read_next(area).ok());
  EXPECT_EQ(area, records_[3]);
  EXPECT_EQ(deleter->read_next(area).code(), "10");
  EXPECT_EQ(deleter->read_next(area).code(), "46");  // no position any more
}

TEST_F(RecordLocks, ReadNextNeverDeliversARecordAnotherProgramDeletedMeanwhile) {
  for (OpenMode mode : {OpenMode::input, OpenMode::input_output}) {
    SCOPED_TRACE(mode == OpenMode::input ? "input" : "input-output");
    auto scanner = open(mode);
    auto deleter = open(OpenMode::input_output);
    std::string area = key("A1");
    ASSERT_TRUE(scanner->start(0, area).ok());
    ASSERT_TRUE(scanner->read_next(area).ok());  // A1, and the records after it read ahead
    // The record right after A1: A2 on the first round, A3 once A2 is gone.
    std::string victim = key(mode == OpenMode::input ? "A2" : "A3");
    ASSERT_TRUE(deleter->remove(victim).ok());
    ASSERT_TRUE(deleter->commit().ok());
    ASSERT_TRUE(scanner->read_next(area).ok());
    EXPECT_EQ(area.substr(0, 2), mode == OpenMode::input ? "A3" : "A4");
    ASSERT_TRUE(deleter->close().ok());
  }
}

// Records read ahead are not the file: once another program has committed,
// Read next goes on from where it stands, so a record added just after it
// comes next instead of being passed over.
TEST_F(RecordLocks, ReadNextDeliversARecordAnotherProgramAddedJustAhead) {
  for (OpenMode mode : {OpenMode::input, OpenMode::input_output}) {
    SCOPED_TRACE(mode == OpenMode::input ? "input" : "input-output");
    testing::ScratchFolder drive;
    const std::filesystem::path path = drive.path() / "AHEAD.VRX";
    const FileDescription d = testing::describe("\\AHEAD.VRX", 12, {{0, 2, false}});
    auto record = [](const char* code) { return make_record(12, {{0, code}, {2, "DADOS"}}); };
    ASSERT_TRUE(testing::load(path, d, {record("B1"), record("B3"), record("B5")}).ok);
    OpenResult scanner = SqliteFileStore(drive.path()).open(d, mode);
    ASSERT_TRUE(scanner.status.ok());
    std::string area = record("B1");
    ASSERT_TRUE(scanner.file->start(0, area).ok());
    ASSERT_TRUE(scanner.file->read_next(area).ok());
    ASSERT_TRUE(scanner.file->read_next(area).ok());  // B3, with B5 read ahead
    EXPECT_EQ(area, record("B3"));
    ASSERT_TRUE(testing::load(path, d, {record("B4")}).ok);
    ASSERT_TRUE(scanner.file->read_next(area).ok());
    EXPECT_EQ(area, record("B4"));
    ASSERT_TRUE(scanner.file->read_next(area).ok());
    EXPECT_EQ(area, record("B5"));
    EXPECT_EQ(scanner.file->read_next(area).code(), "10");
  }
}

// The handle never commits on its own: the program chooses when.
TEST_F(RecordLocks, DeletionsStayPendingUntilCommitted) {
  auto deleter = open(OpenMode::input_output);
  auto other = open(OpenMode::input);
  std::string area = key("A1");
  ASSERT_TRUE(deleter->remove(area).ok());
  EXPECT_EQ(deleter->read(area).code(), "23");  // gone for the deleter
  usleep(30'000);
  ASSERT_TRUE(deleter->unlock().ok());
  EXPECT_EQ(other->read(area).code(), "99");
  ASSERT_TRUE(deleter->commit().ok());
  EXPECT_EQ(other->read(area).code(), "23");
}

// A rolled-back deletion never happened: the record is there and free.
TEST_F(RecordLocks, RollbackKeepsTheRecordsAndFreesThem) {
  auto deleter = open(OpenMode::input_output);
  auto other = open(OpenMode::input_output);
  std::string area = key("A1");
  ASSERT_TRUE(deleter->remove(area).ok());
  ASSERT_TRUE(deleter->rollback().ok());
  EXPECT_TRUE(deleter->commit().ok());
  EXPECT_TRUE(other->read(area).ok());
  EXPECT_EQ(area.substr(0, 2), "A1");
}

// A lock file that fails is an I/O error ("30"), never a record held by
// another program ("99", which would bring the locked-record prompt back
// for ever), whichever operation meets it.
TEST_F(RecordLocks, LockFileFailuresAreStatus30) {
  auto file = open(OpenMode::input_output);
  std::string area = key("A1");
  ASSERT_TRUE(file->read(area).ok());
  std::string other = key("A2");
  ASSERT_TRUE(file->remove(other).ok());
  ASSERT_EQ(testing::break_lock_file(RecordLockFile::path_for(
                map_catalogue_path(description_.catalogue_path, drive_.path()))),
            1);
  EXPECT_EQ(file->read(area = key("A3")).code(), "30");
  ASSERT_TRUE(file->start(0, key("A3")).ok());
  EXPECT_EQ(file->read_next(area).code(), "30");
  EXPECT_EQ(file->remove(key("A4")).code(), "30");
  EXPECT_EQ(file->close().code(), "00");
  EXPECT_EQ(open(OpenMode::input)->read(other).code(), "23");
}

// A program may keep deletions pending on several files at once; their
// records stay locked for others until each group is committed.
TEST_F(RecordLocks, DeletionsPendOnSeveralFilesAtOnce) {
  const FileDescription second = load_second_file();
  auto first_file = open(OpenMode::input_output);
  OpenResult second_file = store_.open(second, OpenMode::input_output);
  ASSERT_TRUE(second_file.status.ok());
  auto reader = open(OpenMode::input);

  std::string area = key("A1");
  ASSERT_TRUE(first_file->remove(area).ok());
  ASSERT_TRUE(second_file.file->remove(area).ok());
  EXPECT_EQ(reader->read(area).code(), "99");  // still pending on the first file
  EXPECT_TRUE(first_file->commit().ok());
  EXPECT_EQ(reader->read(area).code(), "23");
  EXPECT_TRUE(second_file.file->close().ok());
  EXPECT_TRUE(first_file->close().ok());
}

// Two programs deleting from two files in opposite orders never wait for each
// other: one that finds a file's write lock taken commits its other pending
// deletions before it waits.
TEST_F(RecordLocks, OppositeOrdersOfDeletionDoNotWaitForEachOther) {
  const FileDescription second = load_second_file();
  auto first_mine = open(OpenMode::input_output);
  OpenResult second_mine = store_.open(second, OpenMode::input_output);
  ASSERT_TRUE(second_mine.status.ok());

  // Each holds one file's write lock and then asks for the other's, at once
  // (well inside the 20 ms after which a group would be committed anyway).
  const auto began = std::chrono::steady_clock::now();
  std::string mine = key("A1");
  std::promise<void> other_holds_second, i_hold_first;
  std::thread other([&] {  // another program, on its own thread and handles
    auto first_other = open(OpenMode::input_output);
    OpenResult second_other = store_.open(second, OpenMode::input_output);
    std::string theirs = key("A2");
    EXPECT_TRUE(second_other.file->remove(theirs).ok());
    other_holds_second.set_value();
    i_hold_first.get_future().wait();
    EXPECT_TRUE(first_other->remove(theirs).ok());
    EXPECT_TRUE(first_other->close().ok());
    EXPECT_TRUE(second_other.file->close().ok());
  });
  other_holds_second.get_future().wait();
  ASSERT_TRUE(first_mine->remove(mine).ok());
  i_hold_first.set_value();
  EXPECT_TRUE(second_mine.file->remove(mine).ok());
  EXPECT_TRUE(second_mine.file->close().ok());
  EXPECT_TRUE(first_mine->close().ok());
  other.join();
  // Far below the busy timeout that a wait for each other would run into.
  EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::seconds(2));

  auto reader = open(OpenMode::input);
  for (const char* gone : {"A1", "A2"}) EXPECT_EQ(reader->read(mine = key(gone)).code(), "23");
}

// A process that runs `child` and then waits for a byte on a pipe before
// exiting; the parent can also kill it.
class Child {
 public:
  template <typename Body>
  explicit Child(Body body) {
    int ready[2], go[2];
    EXPECT_EQ(::pipe(ready), 0);
    EXPECT_EQ(::pipe(go), 0);
    pid_ = ::fork();
    if (pid_ == 0) {
      ::close(ready[0]);
      ::close(go[1]);
      int code = body([&] {
        char c = 'r';
        (void)!::write(ready[1], &c, 1);
        (void)!::read(go[0], &c, 1);  // until the parent says go on
      });
      ::_exit(code);
    }
    ::close(ready[1]);
    ::close(go[0]);
    ready_ = ready[0];
    go_ = go[1];
  }
  ~Child() {
    ::close(ready_);
    ::close(go_);
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  bool wait_ready() {
    char c;
    return ::read(ready_, &c, 1) == 1;
  }
  void go_on() {
    char c = 'g';
    (void)!::write(go_, &c, 1);
  }
  int finish() {
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  void kill() {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }

 private:
  pid_t pid_ = -1;
  int ready_ = -1;
  int go_ = -1;
};

TEST_F(RecordLocks, AnotherProcessHoldsARecordUntilItIsKilled) {
  Child child([&](auto pause) {
    OpenResult opened = store_.open(description_, OpenMode::input_output);
    std::string area = key("A2");
    if (!opened.status.ok() || !opened.file->read(area).ok()) return 1;
    pause();
    return 0;
  });
  ASSERT_TRUE(child.wait_ready());
  auto scanner = open(OpenMode::input_output);
  auto reader = open(OpenMode::input);
  std::string area = key("A2");
  EXPECT_EQ(reader->read(area).code(), "99");
  EXPECT_EQ(scanner->remove(area).code(), "99");
  ASSERT_TRUE(scanner->start(0, area = key("A1")).ok());
  ASSERT_TRUE(scanner->read_next(area).ok());
  EXPECT_EQ(scanner->read_next(area).code(), "99");
  child.kill();
  ASSERT_TRUE(scanner->read_next(area).ok());
  EXPECT_EQ(area, records_[1]);
}

TEST_F(RecordLocks, AnotherProcessesUncommittedDeletionIsHeldUntilItCommits) {
  Child child([&](auto pause) {
    OpenResult opened = store_.open(description_, OpenMode::input_output);
    std::string area = key("A4");
    if (!opened.status.ok() || !opened.file->remove(area).ok()) return 1;
    pause();  // the group stays open: no operation runs meanwhile
    if (!opened.file->commit().ok()) return 2;
    pause();
    return 0;
  });
  ASSERT_TRUE(child.wait_ready());
  auto reader = open(OpenMode::input);
  std::string area = key("A4");
  EXPECT_EQ(reader->read(area).code(), "99");
  child.go_on();
  ASSERT_TRUE(child.wait_ready());
  EXPECT_EQ(reader->read(area).code(), "23");
  child.go_on();
  EXPECT_EQ(child.finish(), 0);
}

TEST_F(RecordLocks, KilledProcessLosesOnlyItsUncommittedDeletions) {
  Child child([&](auto pause) {
    OpenResult opened = store_.open(description_, OpenMode::input_output);
    std::string area = key("A1");
    if (!opened.status.ok() || !opened.file->remove(area).ok()) return 1;
    if (!opened.file->commit().ok()) return 2;
    if (!opened.file->remove(area = key("A2")).ok()) return 3;
    pause();
    return 0;
  });
  ASSERT_TRUE(child.wait_ready());
  child.kill();
  auto reader = open(OpenMode::input_output);
  std::string area;
  EXPECT_EQ(reader->read(area = key("A1")).code(), "23");
  EXPECT_TRUE(reader->read(area = key("A2")).ok());
  EXPECT_EQ(area, records_[1]);
  ASSERT_TRUE(reader->close().ok());
  std::vector<std::string> problems;
  EXPECT_TRUE(check_file(map_catalogue_path(description_.catalogue_path, drive_.path()),
                         description_, problems)
                  .ok);
}

}  // namespace
}  // namespace vrx
