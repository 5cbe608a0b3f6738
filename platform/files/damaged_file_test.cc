// Files that open but whose insides are damaged: the engine answers every
// call with a status and never goes round in circles. (Inputs of this kind
// come from the open fuzz target; the cases here are the ones that once
// found a fault, made again by hand.)
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <fstream>
#include <set>
#include <string>

#include "platform/files/engine_test_support.h"
#include "platform/files/sqlite_store.h"

namespace vrx {
namespace {

// key 0: bytes 0-1; key 1: bytes 2-3, unique; key 2: byte 4, duplicates.
const FileDescription kFile =
    testing::describe("\\D\\DANIFICADO.VRX", 6, {{0, 2, false}, {2, 2, false}, {4, 1, true}});

std::int64_t number(const std::filesystem::path& path, const std::string& sql) {
  sqlite3* db = nullptr;
  sqlite3_open(path.c_str(), &db);
  sqlite3_stmt* statement = nullptr;
  sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr);
  std::int64_t value =
      sqlite3_step(statement) == SQLITE_ROW ? sqlite3_column_int64(statement, 0) : -1;
  sqlite3_finalize(statement);
  sqlite3_close(db);
  return value;
}

// Overwrites the key `from` with `to` inside the one page of `index`: the
// entry keeps its place among the others, now out of order.
void damage_index_entry(const std::filesystem::path& path, const std::string& index,
                        const std::string& from, const std::string& to) {
  const std::int64_t page =
      number(path, "SELECT rootpage FROM sqlite_schema WHERE name = '" + index + "'");
  const std::int64_t page_size = number(path, "PRAGMA page_size");
  ASSERT_GT(page, 0);
  std::string bytes = testing::file_bytes(path);
  const std::size_t begin = static_cast<std::size_t>((page - 1) * page_size);
  const std::size_t at = bytes.find(from, begin);
  ASSERT_LT(at, begin + static_cast<std::size_t>(page_size));
  bytes.replace(at, to.size(), to);
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// An index whose entries are out of order: SQLite returns the rows in the
// order of the entries. Reading on from the entry that sorts too low went
// back to the first record: here every record came twice, and in a file
// that the open fuzz target made, two records came in turn for ever. Now the
// first row out of order is status "30".
TEST(DamagedFile, AnIndexOutOfOrderGivesStatus30InsteadOfRecordsAgain) {
  testing::ScratchFolder drive;
  const std::filesystem::path path = map_catalogue_path(kFile.catalogue_path, drive.path());
  ASSERT_TRUE(
      testing::load(path, kFile, {"AAd1x.", "BBb2y.", "CCe3x.", "DDa4z.", "EEc5y.", "FFf6x."}).ok);
  // Record 3's entry "e3" becomes the lowest key, between "d1" and "f6".
  damage_index_entry(path, "records_k1", "e3", std::string(2, '\0'));

  OpenResult opened = SqliteFileStore(drive.path()).open(kFile, OpenMode::input);
  ASSERT_TRUE(opened.status.ok());
  std::string area = "..a4..";
  ASSERT_TRUE(opened.file->start(1, area).ok());
  FileStatus status;
  int delivered = 0;
  while ((status = opened.file->read_next(area)).ok() && delivered < 100) ++delivered;
  EXPECT_LT(delivered, 6);
  EXPECT_EQ(status, FileStatus::damaged());
  EXPECT_TRUE(opened.file->close().ok());
}

// Files beside the data file but SQLite's own log and shared index (which a
// read-only connection leaves, empty, whenever it has read).
std::set<std::string> ours_beside(const std::filesystem::path& path) {
  std::set<std::string> names = testing::names_in(path.parent_path());
  std::erase_if(names,
                [](const std::string& n) { return n.ends_with("-wal") || n.ends_with("-shm"); });
  return names;
}

// A database of ours whose records table is not what the engine needs: the
// open fails with "39", and a file that had no lock file beside it (copied
// in from elsewhere) still has none; the open made one and left it before.
TEST(DamagedFile, AFailedOpenLeavesNoLockFileBehind) {
  testing::ScratchFolder drive;
  const std::filesystem::path path = map_catalogue_path(kFile.catalogue_path, drive.path());
  ASSERT_TRUE(testing::load(path, kFile, {"AAd1x."}).ok);
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db, "ALTER TABLE records RENAME TO outros", nullptr, nullptr, nullptr),
            SQLITE_OK);
  sqlite3_close(db);
  std::filesystem::remove(path.string() + ".lck");

  for (OpenMode mode : {OpenMode::input_output, OpenMode::input}) {
    OpenResult opened = SqliteFileStore(drive.path()).open(kFile, mode);
    EXPECT_EQ(opened.status, FileStatus::conflicting_file());
    EXPECT_EQ(ours_beside(path), std::set<std::string>{"DANIFICADO.VRX"});
  }
}

std::size_t open_descriptors() {
  std::size_t n = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    ++n;
  }
  return n;
}

// A file of ours put back into SQLite's rollback-journal mode (by a tool, or
// a header damaged in those two bytes) is still a sound file and opens. Each
// open used to ask for the WAL index all the same, which opened a "-shm" file
// that SQLite never closes: a descriptor, a mapping and some memory lost per
// open (the open fuzz target's leak check found it).
TEST(DamagedFile, AFileOutOfWalModeIsReadAndLeavesNothingOpen) {
  testing::ScratchFolder drive;
  const std::filesystem::path path = map_catalogue_path(kFile.catalogue_path, drive.path());
  ASSERT_TRUE(testing::load(path, kFile, {"AAd1x.", "BBb2y.", "CCe3x."}).ok);
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db, "PRAGMA journal_mode = DELETE", nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_close(db);

  const std::size_t descriptors = open_descriptors();
  for (OpenMode mode : {OpenMode::input, OpenMode::input_output}) {
    OpenResult opened = SqliteFileStore(drive.path()).open(kFile, mode);
    ASSERT_TRUE(opened.status.ok());
    std::string area = "AA....";
    ASSERT_TRUE(opened.file->start(0, area).ok());
    std::string keys;
    while (opened.file->read_next(area).ok()) keys += area.substr(0, 2);
    EXPECT_EQ(keys, "AABBCC");
    EXPECT_TRUE(opened.file->close().ok());
  }
  EXPECT_EQ(open_descriptors(), descriptors);
  EXPECT_EQ(ours_beside(path), (std::set<std::string>{"DANIFICADO.VRX", "DANIFICADO.VRX.lck"}));
  EXPECT_FALSE(std::filesystem::exists(path.string() + "-shm"));
}

}  // namespace
}  // namespace vrx
