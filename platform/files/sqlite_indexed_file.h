// The IndexedFile handle of the SQLite backend: one connection, one lock-file
// descriptor and the prepared statements of one open file. Used from one
// thread; internal to platform/files (SqliteFileStore::open makes them).
//
// Deletions are committed in groups: the first delete opens a write
// transaction, which is committed at the latest kGroupCommitDelay after that
// delete (checked on every operation), on commit() and on close(). The locks
// of deleted records are kept until their deletion is committed. Outside a
// group no transaction stays open between calls. A thread may have a group
// open on several files at once (the deletion works on three in turn), but
// it never waits for a file's write lock while it holds another's: when a
// group cannot begin at once, the thread's other groups are committed first.
// So two programs deleting from the same files in different orders cannot
// wait for each other.
//
// Read next fetches the following records in small batches (one SQLite read
// transaction per batch, not per record). A record from a batch is delivered
// only after its lock has been taken (or tested, in input mode) and the WAL
// index shows that nobody has committed since the batch was read; otherwise
// the batch is read again. So no record that another program deleted and
// committed is ever delivered, exactly as if each record were read afresh.
#ifndef PLATFORM_FILES_SQLITE_INDEXED_FILE_H_
#define PLATFORM_FILES_SQLITE_INDEXED_FILE_H_

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/files/indexed_file.h"
#include "platform/files/record_locks.h"
#include "platform/files/sqlite_database.h"

namespace vrx::sqlite_detail {

inline constexpr std::chrono::milliseconds kGroupCommitDelay{20};

class SqliteIndexedFile : public IndexedFile {
 public:
  SqliteIndexedFile(FileDescription description, OpenMode mode, Connection connection,
                    RecordLockFile locks);
  ~SqliteIndexedFile() override;

  FileStatus read(RecordArea area) override;
  FileStatus start(std::size_t key, ConstRecordArea area) override;
  FileStatus read_next(RecordArea area) override;
  FileStatus unlock() override;
  FileStatus remove(ConstRecordArea area) override;
  FileStatus commit() override;
  FileStatus close() override;

  // Prepares the statements every handle needs; fails on a file whose tables
  // do not have the expected shape.
  FileStatus prepare();

 private:
  // Where Read next goes on: after (value, seq) in the order of `key`, or,
  // right after a Start, at the first record whose key is not less than value.
  struct Position {
    bool valid = false;
    std::size_t key = 0;
    std::string value;
    std::int64_t seq = 0;
    bool at_start = false;
  };
  struct KeyStatements {
    Statement start_batch, next_batch;  // (kN, seq, data), at most ?3 rows
  };
  // Records read ahead in the order of the position's key.
  struct Batch {
    struct Row {
      std::string key;
      std::int64_t seq = 0;
      std::string data;
    };
    std::vector<Row> rows;
    std::size_t next = 0;  // the first row not yet delivered
    std::size_t size = 0;  // rows in use
    bool watched = false;  // `mark` was taken before the rows were read
    CommitWatch::Mark mark{};
    bool empty() const { return next >= size; }
    void clear() { next = size = 0; }
  };

  bool is_open() const { return static_cast<bool>(connection_); }
  bool updating() const { return mode_ == OpenMode::input_output; }
  // The status for an SQLite failure; ends the group when SQLite rolled it back.
  FileStatus fail(int rc);
  FileStatus commit_if_due();
  FileStatus end_group();
  // Forgets the group, committed or rolled back, and releases the locks of
  // its deletions.
  FileStatus leave_group();
  // Opens this handle's group: BEGIN IMMEDIATE, waiting for another
  // program's write lock only after committing the thread's other groups.
  // Returns SQLite's code.
  int begin_group();
  // Commits this handle's group because another handle of the thread begins
  // one; a failure is reported by this handle's next operation.
  void end_group_for_another();
  void release_read_lock();
  // Notes the record just delivered: its lock (input-output) and its key.
  void remember_delivered(RecordArea area, std::int64_t seq);
  // Reads the records after the position into the batch; only one right
  // after a Start (`first`).
  FileStatus fill_batch(bool first);
  // Whether no program has committed since `mark` was taken.
  bool unchanged_since(bool watched, const CommitWatch::Mark& mark) const;
  // The record by its sequence number, read afresh: "00", "23" or a failure.
  FileStatus fetch_by_seq(std::int64_t seq, RecordArea area);
  // Tests or takes the record's lock as the open mode asks.
  FileStatus claim(std::int64_t seq);
  FileStatus deliver(std::string_view data, RecordArea area);

  FileDescription description_;
  OpenMode mode_;
  Connection connection_;
  RecordLockFile locks_;

  CommitWatch watch_;
  Statement record_by_primary_;  // seq, data
  Statement seq_by_primary_;     // seq
  Statement data_by_seq_;
  Statement delete_by_seq_;
  Statement begin_group_, commit_group_, rollback_group_;
  std::vector<KeyStatements> key_statements_;

  Position position_;
  Batch batch_;
  std::size_t batch_limit_ = 0;      // rows the next fill reads; grows while reading on
  std::size_t max_batch_limit_ = 1;  // bounded by memory: about 256 KiB of records
  std::string scratch_key_;          // a key value being looked up or delivered
  // The record this handle holds locked from its last read (input-output).
  std::optional<std::int64_t> read_lock_;
  // Primary key and sequence of the record last delivered (input-output;
  // seq 0 when none), so that deleting it needs no look-up.
  std::string delivered_primary_;
  std::int64_t delivered_seq_ = 0;
  // Open group of deletions: when it began and how many records it deleted,
  // whose locks are kept until it is committed.
  bool in_group_ = false;
  std::chrono::steady_clock::time_point group_began_;
  std::size_t deleted_in_group_ = 0;
  // A failure of this handle's group committed by another handle, for the
  // next operation to report.
  FileStatus deferred_failure_;
};

}  // namespace vrx::sqlite_detail

#endif  // PLATFORM_FILES_SQLITE_INDEXED_FILE_H_
