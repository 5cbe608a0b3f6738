// SQLite plumbing shared by the indexed file handles and the administrative
// operations: owned connections and statements, the on-disk layout of an
// indexed file, and the checks that decide whether a file at a path is a
// usable indexed file of a given description.
//
// Layout of an indexed file (format version 1):
//   table records(seq INTEGER PRIMARY KEY AUTOINCREMENT,   -- write order,
//                 k0 BLOB NOT NULL UNIQUE, k1 .. kn BLOB NOT NULL,  never reused
//                 data BLOB NOT NULL)                      -- the whole record
//   index records_kN on (kN) for a unique alternate key, on (kN, seq) for
//   one with duplicates (equal keys in write order);
//   table vrx_meta(name, value) with the description in words;
//   PRAGMA application_id = kApplicationId and user_version = a tag of the
//   description, so that a foreign file or one of another description is
//   told from the header alone; journal_mode = WAL, set at creation.
//
// Internal to platform/files. Objects are used from one thread.
#ifndef PLATFORM_FILES_SQLITE_DATABASE_H_
#define PLATFORM_FILES_SQLITE_DATABASE_H_

#include <sqlite3.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>

#include "platform/files/file_status.h"
#include "platform/files/indexed_file.h"
#include "platform/files/status_mapping.h"

namespace vrx::sqlite_detail {

inline constexpr std::uint32_t kApplicationId = 0x56525846;  // "VRXF"
inline constexpr int kFormatVersion = 1;
// How long SQLite's own short write lock is waited for (never a record lock).
inline constexpr int kBusyTimeoutMs = 5000;

// A prepared statement. Invalid when preparing failed; every use of an
// invalid statement fails harmlessly with the preparation's error.
class Statement {
 public:
  Statement() = default;
  Statement(sqlite3* db, std::string_view sql);
  ~Statement() { sqlite3_finalize(stmt_); }
  Statement(Statement&& other) noexcept
      : stmt_(std::exchange(other.stmt_, nullptr)), prepare_code_(other.prepare_code_) {}
  Statement& operator=(Statement&& other) noexcept;
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  bool valid() const { return stmt_ != nullptr; }
  int prepare_code() const { return prepare_code_; }
  sqlite3_stmt* get() const { return stmt_; }

  // The bytes must stay alive until the statement is reset.
  void bind_blob(int index, std::string_view bytes) {
    sqlite3_bind_blob(stmt_, index, bytes.data(), static_cast<int>(bytes.size()), SQLITE_STATIC);
  }
  void bind_int64(int index, std::int64_t value) { sqlite3_bind_int64(stmt_, index, value); }
  // SQLITE_ROW, SQLITE_DONE or an error code.
  int step() { return stmt_ != nullptr ? sqlite3_step(stmt_) : prepare_code_; }
  void reset() {
    if (stmt_ != nullptr) sqlite3_reset(stmt_);
  }
  std::string_view column_blob(int column) const;
  std::int64_t column_int64(int column) const { return sqlite3_column_int64(stmt_, column); }

 private:
  sqlite3_stmt* stmt_ = nullptr;
  int prepare_code_ = SQLITE_MISUSE;
};

// Resets a statement when leaving a scope, so none is left stepping.
class ResetOnExit {
 public:
  explicit ResetOnExit(Statement& statement) : statement_(statement) {}
  ~ResetOnExit() { statement_.reset(); }
  ResetOnExit(const ResetOnExit&) = delete;
  ResetOnExit& operator=(const ResetOnExit&) = delete;

 private:
  Statement& statement_;
};

// A write transaction on a connection: begin() takes SQLite's write lock
// (BEGIN IMMEDIATE), commit() ends it; one that is left without a commit,
// or whose commit failed, is rolled back.
class WriteTransaction {
 public:
  WriteTransaction(sqlite3* db, Statement& begin, Statement& commit, Statement& rollback)
      : db_(db), begin_(begin), commit_(commit), rollback_(rollback) {}
  ~WriteTransaction() {
    if (sqlite3_get_autocommit(db_) == 0) {
      rollback_.step();
      rollback_.reset();
    }
  }
  WriteTransaction(const WriteTransaction&) = delete;
  WriteTransaction& operator=(const WriteTransaction&) = delete;

  // SQLITE_DONE or the failure's code.
  int begin() { return run(begin_); }
  int commit() { return run(commit_); }

 private:
  static int run(Statement& statement) {
    ResetOnExit reset(statement);
    return statement.step();
  }
  sqlite3* db_;
  Statement& begin_;
  Statement& commit_;
  Statement& rollback_;
};

// An owned connection.
class Connection {
 public:
  Connection() = default;
  explicit Connection(sqlite3* db) : db_(db) {}
  ~Connection() { close(); }
  Connection(Connection&& other) noexcept : db_(std::exchange(other.db_, nullptr)) {}
  Connection& operator=(Connection&& other) noexcept;
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  sqlite3* get() const { return db_; }
  explicit operator bool() const { return db_ != nullptr; }
  // Runs statements without results. Returns an SQLite code.
  int exec(const std::string& sql);
  // Every statement must have been finalized before.
  void close();

 private:
  sqlite3* db_ = nullptr;
};

// Tells whether any program has committed to a WAL database since a given
// moment, without a transaction: the header of SQLite's WAL index, in
// SQLite's own shared memory (reached through SQLite's file object, never a
// descriptor of ours), changes with every commit and every restart of the
// log. Unavailable (mark() fails) for a database not in WAL mode when the
// watch is made, or before the connection's first read has mapped the index.
class CommitWatch {
 public:
  using Mark = std::array<unsigned char, 48>;
  CommitWatch() = default;
  explicit CommitWatch(sqlite3* db);
  bool mark(Mark& out) const;

 private:
  sqlite3_file* file_ = nullptr;
};

// The status for the last failure on `db` (code `rc`).
FileStatus failure_status(sqlite3* db, int rc, FailedStep step);
// The same in words, for the administrative operations.
std::string failure_text(sqlite3* db, int rc);

// Empty when the description can describe an indexed file, else why not.
std::string description_problem(const FileDescription& description);
// The description in words, as kept in the file.
std::string description_text(const FileDescription& description);
// The tag kept in the header's user_version.
std::uint32_t description_tag(const FileDescription& description);

// SQL of the layout above.
std::string create_schema_sql(const FileDescription& description);
std::string insert_sql(const FileDescription& description);

// Whether the bytes of `data` give the key column values of `record`.
std::string_view key_of(std::string_view record, const KeyDescription& key);

// Opens an existing file as an indexed file of `description` without ever
// creating or writing anything when it fails: "35", "37", "30" or "39" as
// the file's state asks, with `detail` saying why in words. On success the
// connection is open (read-only for input), busy timeout and synchronous
// mode set, and no transaction is open.
struct OpenedDatabase {
  FileStatus status;
  std::string detail;
  Connection connection;
};
OpenedDatabase open_indexed_database(const std::filesystem::path& path,
                                     const FileDescription& description, OpenMode mode);

}  // namespace vrx::sqlite_detail

#endif  // PLATFORM_FILES_SQLITE_DATABASE_H_
