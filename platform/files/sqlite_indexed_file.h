// The IndexedFile handle of the SQLite backend: one connection, one lock-file
// descriptor and the prepared statements of one open file. Used from one
// thread; internal to platform/files (SqliteFileStore::open makes them).
//
// A deletion takes (or keeps) the record's lock and is noted as pending; the
// file itself is not touched until commit(), which deletes every pending
// record in one short write transaction and then releases their locks. So
// the handle holds SQLite's write lock only while it commits (other programs'
// writes wait milliseconds, never a whole group), never holds two files'
// write locks at once, and a killed program leaves nothing of its pending
// deletions behind. The handle itself never commits on its own: when to
// commit, and in which order across files, is the program's choice.
//
// Read next fetches the following records in small batches (one SQLite read
// transaction per batch, not per record). A record from a batch is delivered
// only after its lock has been taken (or tested, in input mode) and the WAL
// index shows that nobody has committed since the batch was read; otherwise
// the batch is read again. So no record that another program deleted and
// committed is ever delivered, exactly as if each record were read afresh.
// Records pending deletion by this handle are never delivered.
#ifndef PLATFORM_FILES_SQLITE_INDEXED_FILE_H_
#define PLATFORM_FILES_SQLITE_INDEXED_FILE_H_

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "platform/files/indexed_file.h"
#include "platform/files/record_locks.h"
#include "platform/files/sqlite_database.h"

namespace vrx::sqlite_detail {

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
  FileStatus rollback() override;
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
  // The lock file a claim locks in (input-output), none when it only tests.
  RecordLockFile* taken_lock_file() { return updating() ? &locks_ : nullptr; }
  bool pending(std::int64_t seq) const { return pending_set_.count(seq) != 0; }
  // The status for an SQLite failure.
  FileStatus fail(int rc);
  // The status for a failure on the lock file.
  FileStatus lock_failure() const;
  // Forgets the pending deletions and releases their locks.
  FileStatus drop_pending();
  // Releases the lock of the last read; "30" when the lock file failed.
  FileStatus release_read_lock();
  // Notes the record just delivered: its lock (input-output) and its key.
  void remember_delivered(RecordArea area, std::int64_t seq, bool watched = false,
                          const CommitWatch::Mark& mark = {});
  // Reads the records after the position into the batch; only one right
  // after a Start (`first`). Records pending deletion are passed over.
  FileStatus fill_batch(bool first);
  // Whether no program has committed since `mark` was taken.
  bool unchanged_since(bool watched, const CommitWatch::Mark& mark) const;
  // The record by its sequence number, read afresh: "00", "23" or a failure.
  FileStatus fetch_by_seq(std::int64_t seq, RecordArea area);
  // Whether the record is still in the file: "00", "23" or a failure.
  FileStatus exists(std::int64_t seq);
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
  Statement seq_exists_;
  Statement delete_by_seq_;
  Statement begin_write_, commit_write_, rollback_write_;
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
  // The WAL index when the record last delivered was read: while nobody has
  // committed since, it is still in the file.
  bool delivered_watched_ = false;
  CommitWatch::Mark delivered_mark_{};
  // Deletions not yet committed; their records stay locked until then.
  std::vector<std::int64_t> pending_;
  std::unordered_set<std::int64_t> pending_set_;
};

}  // namespace vrx::sqlite_detail

#endif  // PLATFORM_FILES_SQLITE_INDEXED_FILE_H_
