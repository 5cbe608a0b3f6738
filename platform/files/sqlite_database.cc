#include "platform/files/sqlite_database.h"

#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstring>

namespace vrx::sqlite_detail {

Statement::Statement(sqlite3* db, std::string_view sql) {
  prepare_code_ = sqlite3_prepare_v3(db, sql.data(), static_cast<int>(sql.size()),
                                     SQLITE_PREPARE_PERSISTENT, &stmt_, nullptr);
  if (prepare_code_ != SQLITE_OK) {
    sqlite3_finalize(stmt_);
    stmt_ = nullptr;
  }
}

Statement& Statement::operator=(Statement&& other) noexcept {
  if (this != &other) {
    sqlite3_finalize(stmt_);
    stmt_ = std::exchange(other.stmt_, nullptr);
    prepare_code_ = other.prepare_code_;
  }
  return *this;
}

std::string_view Statement::column_blob(int column) const {
  const void* bytes = sqlite3_column_blob(stmt_, column);
  int size = sqlite3_column_bytes(stmt_, column);
  if (bytes == nullptr || size <= 0) {
    return {};
  }
  return {static_cast<const char*>(bytes), static_cast<std::size_t>(size)};
}

Connection& Connection::operator=(Connection&& other) noexcept {
  if (this != &other) {
    close();
    db_ = std::exchange(other.db_, nullptr);
  }
  return *this;
}

int Connection::exec(const std::string& sql) {
  return sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr);
}

void Connection::close() {
  if (db_ != nullptr) {
    sqlite3_close_v2(db_);
    db_ = nullptr;
  }
}

CommitWatch::CommitWatch(sqlite3* db) {
  // Only a database in WAL mode has the index. Asking the file for it on
  // another would open a shared-memory file that SQLite never closes.
  Statement mode(db, "PRAGMA journal_mode");
  if (mode.step() != SQLITE_ROW || mode.column_blob(0) != "wal") return;
  mode = Statement();
  sqlite3_file* file = nullptr;
  if (sqlite3_file_control(db, "main", SQLITE_FCNTL_FILE_POINTER, &file) == SQLITE_OK &&
      file != nullptr && file->pMethods != nullptr && file->pMethods->iVersion >= 2 &&
      file->pMethods->xShmMap != nullptr) {
    file_ = file;
  }
}

bool CommitWatch::mark(Mark& out) const {
  if (file_ == nullptr) return false;
  volatile void* region = nullptr;
  // Maps nothing new (bExtend 0): only the region SQLite itself has mapped.
  if (file_->pMethods->xShmMap(file_, 0, 32768, 0, &region) != SQLITE_OK || region == nullptr) {
    return false;
  }
  std::atomic_thread_fence(std::memory_order_acquire);
  const volatile unsigned char* header = static_cast<const volatile unsigned char*>(region);
  for (std::size_t i = 0; i < out.size(); ++i) out[i] = header[i];
  return true;
}

FileStatus failure_status(sqlite3* db, int rc, FailedStep step) {
  int os_errno = db != nullptr ? sqlite3_system_errno(db) : 0;
  return status_from_failure(step, rc, os_errno);
}

std::string failure_text(sqlite3* db, int rc) {
  std::string text = sqlite3_errstr(rc);
  if (db != nullptr && sqlite3_errcode(db) == rc) {
    text = sqlite3_errmsg(db);
  }
  if (int os_errno = db != nullptr ? sqlite3_system_errno(db) : 0; os_errno != 0) {
    text += " (";
    text += std::strerror(os_errno);
    text += ")";
  }
  return text;
}

std::string description_problem(const FileDescription& d) {
  if (d.record_length == 0) {
    return "the record length is zero";
  }
  if (d.keys.empty()) {
    return "the file has no primary key";
  }
  if (d.keys[0].duplicates) {
    return "the primary key admits duplicates";
  }
  for (std::size_t n = 0; n < d.keys.size(); ++n) {
    const KeyDescription& key = d.keys[n];
    if (key.length == 0 || key.offset > d.record_length ||
        key.length > d.record_length - key.offset) {
      return "key " + std::to_string(n) + " lies outside the record";
    }
  }
  return {};
}

std::string description_text(const FileDescription& d) {
  std::string text = "vrx indexed file " + std::to_string(kFormatVersion) + "; record length " +
                     std::to_string(d.record_length);
  for (std::size_t n = 0; n < d.keys.size(); ++n) {
    text += "; key " + std::to_string(n) + " at " + std::to_string(d.keys[n].offset) + " length " +
            std::to_string(d.keys[n].length) + (d.keys[n].duplicates ? " duplicates" : "");
  }
  return text;
}

std::uint32_t description_tag(const FileDescription& d) {
  std::uint32_t hash = 2166136261u;  // FNV-1a
  for (unsigned char c : description_text(d)) {
    hash = (hash ^ c) * 16777619u;
  }
  return hash;
}

std::string create_schema_sql(const FileDescription& d) {
  std::string sql = "CREATE TABLE vrx_meta(name TEXT PRIMARY KEY NOT NULL, value TEXT NOT NULL);\n";
  sql += "CREATE TABLE records(seq INTEGER PRIMARY KEY AUTOINCREMENT";
  for (std::size_t n = 0; n < d.keys.size(); ++n) {
    sql += ", k" + std::to_string(n) + " BLOB NOT NULL";
    if (n == 0) sql += " UNIQUE";
  }
  sql += ", data BLOB NOT NULL);\n";
  for (std::size_t n = 1; n < d.keys.size(); ++n) {
    std::string k = "k" + std::to_string(n);
    if (d.keys[n].duplicates) {
      sql += "CREATE INDEX records_" + k + " ON records(" + k + ", seq);\n";
    } else {
      sql += "CREATE UNIQUE INDEX records_" + k + " ON records(" + k + ");\n";
    }
  }
  sql +=
      "INSERT INTO vrx_meta(name, value) VALUES('description', '" + description_text(d) + "');\n";
  sql += "PRAGMA application_id = " + std::to_string(static_cast<std::int32_t>(kApplicationId)) +
         ";\n";
  sql += "PRAGMA user_version = " + std::to_string(static_cast<std::int32_t>(description_tag(d))) +
         ";\n";
  return sql;
}

std::string insert_sql(const FileDescription& d) {
  std::string columns, values;
  for (std::size_t n = 0; n < d.keys.size(); ++n) {
    columns += "k" + std::to_string(n) + ", ";
    values += "?" + std::to_string(n + 1) + ", ";
  }
  return "INSERT INTO records(" + columns + "data) VALUES(" + values + "?" +
         std::to_string(d.keys.size() + 1) + ")";
}

std::string_view key_of(std::string_view record, const KeyDescription& key) {
  return record.substr(key.offset, key.length);
}

namespace {

std::uint32_t big_endian(const unsigned char* p, int bytes) {
  std::uint32_t value = 0;
  for (int i = 0; i < bytes; ++i) value = (value << 8) | p[i];
  return value;
}

OpenedDatabase failed(FileStatus status, std::string detail) {
  return {status, std::move(detail), Connection()};
}

// Reads the first 100 bytes through SQLite's own descriptor (never a second
// descriptor of ours: closing it would drop SQLite's locks on the file) and
// decides whether this is a sound database of ours.
OpenedDatabase check_header(sqlite3* db, const std::filesystem::path& path,
                            const FileDescription& description) {
  sqlite3_file* file = nullptr;
  if (sqlite3_file_control(db, "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK ||
      file == nullptr || file->pMethods == nullptr) {
    return failed(FileStatus::damaged(), "cannot reach the database file");
  }
  sqlite3_int64 size = 0;
  if (file->pMethods->xFileSize(file, &size) != SQLITE_OK) {
    return failed(FileStatus::damaged(), "cannot read the file size");
  }
  std::array<unsigned char, 100> header{};
  if (size < static_cast<sqlite3_int64>(header.size()) ||
      file->pMethods->xRead(file, header.data(), static_cast<int>(header.size()), 0) != SQLITE_OK) {
    return failed(FileStatus::damaged(), "the file is too short to be a database");
  }
  if (std::memcmp(header.data(), "SQLite format 3", 16) != 0) {
    return failed(FileStatus::damaged(), "the file is not a database");
  }
  std::uint32_t page_size = big_endian(&header[16], 2);
  if (page_size == 1) page_size = 65536;
  if (page_size < 512 || page_size > 65536 || (page_size & (page_size - 1)) != 0 ||
      size % page_size != 0) {
    return failed(FileStatus::damaged(), "the database is damaged (size or page size)");
  }
  // The header's page count is only current when no write-ahead log holds
  // newer pages that a checkpoint has not yet copied back.
  std::uint32_t change_counter = big_endian(&header[24], 4);
  std::uint32_t page_count = big_endian(&header[28], 4);
  std::uint32_t valid_for = big_endian(&header[92], 4);
  struct stat wal = {};
  std::string wal_path = path.string() + "-wal";
  bool wal_has_pages = ::stat(wal_path.c_str(), &wal) == 0 && wal.st_size > 0;
  if (!wal_has_pages && valid_for == change_counter &&
      static_cast<std::uint64_t>(size) < static_cast<std::uint64_t>(page_count) * page_size) {
    return failed(FileStatus::damaged(), "the database is truncated");
  }
  if (big_endian(&header[68], 4) != kApplicationId) {
    return failed(FileStatus::conflicting_file(), "the database is not an indexed file");
  }
  if (big_endian(&header[60], 4) != description_tag(description)) {
    return failed(FileStatus::conflicting_file(),
                  "the file's record length or keys differ from the catalogue");
  }
  return {FileStatus::success(), {}, Connection()};
}

}  // namespace

OpenedDatabase open_indexed_database(const std::filesystem::path& path,
                                     const FileDescription& description, OpenMode mode) {
  if (std::string problem = description_problem(description); !problem.empty()) {
    return failed(FileStatus::conflicting_file(), problem);
  }
  const bool update = mode == OpenMode::input_output;
  struct stat st = {};
  if (::stat(path.c_str(), &st) != 0) {
    int err = errno;
    return failed(status_from_failure(FailedStep::open, 0, err), std::strerror(err));
  }
  if (S_ISDIR(st.st_mode)) {
    return failed(FileStatus::no_permission(), "a directory stands at the path");
  }
  if (!S_ISREG(st.st_mode)) {
    return failed(FileStatus::no_permission(), "not a regular file");
  }
  if (::access(path.c_str(), update ? (R_OK | W_OK) : R_OK) != 0) {
    int err = errno;
    return failed(status_from_failure(FailedStep::open, 0, err), std::strerror(err));
  }
  if (update && (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
    return failed(FileStatus::no_permission(), "the file is read-only");
  }

  sqlite3* raw = nullptr;
  int flags = (update ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY) | SQLITE_OPEN_NOMUTEX |
              SQLITE_OPEN_EXRESCODE;
  int rc = sqlite3_open_v2(path.c_str(), &raw, flags, nullptr);
  Connection connection(raw);
  if (rc != SQLITE_OK) {
    return failed(failure_status(raw, rc, FailedStep::open), failure_text(raw, rc));
  }
  if (update && sqlite3_db_readonly(raw, "main") == 1) {
    return failed(FileStatus::no_permission(), "the file cannot be written");
  }
  OpenedDatabase header = check_header(raw, path, description);
  if (!header.status.ok()) {
    return header;
  }
  sqlite3_busy_timeout(raw, kBusyTimeoutMs);
  sqlite3_extended_result_codes(raw, 1);
  // Commits are durable once a checkpoint has synced them; a crash loses at
  // most the last ones and never the file's soundness.
  connection.exec("PRAGMA synchronous = NORMAL");
  // Fewer, larger checkpoints while deletions are committed every 20 ms.
  // (Deleting a brand, 164,000 records: 1,000 was slower; 16,384 was faster
  // on small files but slower on large ones (page look-ups that miss the
  // cache probably search a longer log); 4,096 was no different.)
  connection.exec("PRAGMA wal_autocheckpoint = 8192");
  // Deleted records are zeroed inside their pages only when that costs no
  // extra page writes (the Debian build would zero every freed page).
  connection.exec("PRAGMA secure_delete = FAST");
  // SQLite's default page cache (2 MB) is kept: a larger one bought nothing
  // measurable on a million records nor on deleting a brand (8 MB per
  // updated file: no faster, peak memory 12 -> 30 MB), and six open files
  // must stay small. Memory-mapped I/O stays off: mapped pages count as
  // resident memory, which would then grow with the size of the file (a
  // brand's deletion on a 360 MB set peaked at 99 MB, no faster).

  Statement meta(raw, "SELECT value FROM vrx_meta WHERE name = 'description'");
  rc = meta.step();
  if (rc != SQLITE_ROW) {
    FileStatus status = rc == SQLITE_DONE ? FileStatus::conflicting_file()
                                          : failure_status(raw, rc, FailedStep::open);
    std::string detail =
        rc == SQLITE_DONE ? "the file does not describe itself" : failure_text(raw, rc);
    meta = Statement();
    return failed(status, detail);
  }
  bool same = meta.column_blob(0) == description_text(description);
  meta = Statement();
  if (!same) {
    return failed(FileStatus::conflicting_file(),
                  "the file's record length or keys differ from the catalogue");
  }
  return {FileStatus::success(), {}, std::move(connection)};
}

}  // namespace vrx::sqlite_detail
