#include "platform/files/sqlite_store.h"

#include <cstdlib>
#include <istream>
#include <ostream>
#include <system_error>

#include "platform/files/record_locks.h"
#include "platform/files/sqlite_database.h"
#include "platform/files/sqlite_indexed_file.h"
#include "platform/files/status_mapping.h"

namespace vrx {

using sqlite_detail::Connection;
using sqlite_detail::OpenedDatabase;
using sqlite_detail::ResetOnExit;
using sqlite_detail::Statement;

std::filesystem::path drive_from_environment() {
  const char* drive = std::getenv("VANTREXO_DRIVE");
  if (drive == nullptr || *drive == '\0') {
    return "/";
  }
  return drive;
}

std::filesystem::path map_catalogue_path(std::string_view catalogue_path,
                                         const std::filesystem::path& drive) {
  std::string relative(catalogue_path);
  for (char& c : relative) {
    if (c == '\\') c = '/';
  }
  std::size_t first = relative.find_first_not_of('/');
  relative.erase(0, first == std::string::npos ? relative.size() : first);
  return drive / relative;
}

SqliteFileStore::SqliteFileStore(std::filesystem::path drive) : drive_(std::move(drive)) {}

OpenResult SqliteFileStore::open(const FileDescription& description, OpenMode mode) {
  std::filesystem::path path = map_catalogue_path(description.catalogue_path, drive_);
  OpenedDatabase opened = sqlite_detail::open_indexed_database(path, description, mode);
  if (!opened.status.ok()) {
    return {opened.status, nullptr};
  }
  RecordLockFile locks;
  std::filesystem::path lock_path = RecordLockFile::path_for(path);
  std::error_code ec;
  const bool lock_file_was_there = std::filesystem::exists(lock_path, ec);
  int err = mode == OpenMode::input_output ? locks.open_for_locking(lock_path, true)
                                           : locks.open_for_testing(lock_path);
  if (err != 0) {
    return {status_from_failure(FailedStep::open, 0, err), nullptr};
  }
  auto file = std::make_unique<sqlite_detail::SqliteIndexedFile>(
      description, mode, std::move(opened.connection), std::move(locks));
  if (FileStatus prepared = file->prepare(); !prepared.ok()) {
    file->close();
    // An open that fails leaves nothing behind: not the lock file it made.
    if (!lock_file_was_there) std::filesystem::remove(lock_path, ec);
    return {prepared, nullptr};
  }
  return {FileStatus::success(), std::move(file)};
}

namespace {

std::string in_file(const std::filesystem::path& path, const std::string& message) {
  return path.string() + ": " + message;
}

AdminResult open_failure(const std::filesystem::path& path, const OpenedDatabase& opened) {
  return AdminResult::failure(in_file(
      path, "cannot open (status " + std::string(opened.status.code()) + "): " + opened.detail));
}

// Removes a file this process created, with SQLite's companions and the lock file.
void remove_created(const std::filesystem::path& path) {
  std::error_code ignored;
  for (const char* suffix : {"", "-wal", "-shm", "-journal", ".lck"}) {
    std::filesystem::path p = path;
    p += suffix;
    std::filesystem::remove(p, ignored);
  }
}

std::string order_by(const FileDescription& description, std::size_t key) {
  std::string k = "k" + std::to_string(key);
  return description.keys[key].duplicates ? k + ", seq" : k;
}

}  // namespace

AdminResult create_file(const std::filesystem::path& path, const FileDescription& description) {
  if (std::string problem = sqlite_detail::description_problem(description); !problem.empty()) {
    return AdminResult::failure(in_file(path, "invalid description: " + problem));
  }
  std::error_code ec;
  if (std::filesystem::exists(std::filesystem::symlink_status(path, ec))) {
    return AdminResult::failure(in_file(path, "the file exists already"));
  }
  if (path.has_parent_path()) {
    std::filesystem::create_directories(path.parent_path(), ec);
    if (ec) {
      return AdminResult::failure(in_file(path, "cannot create the folder: " + ec.message()));
    }
  }
  sqlite3* raw = nullptr;
  int rc =
      sqlite3_open_v2(path.c_str(), &raw,
                      SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
  Connection connection(raw);
  std::string error;
  if (rc != SQLITE_OK) {
    error = sqlite_detail::failure_text(raw, rc);
  } else if ((rc = connection.exec("PRAGMA journal_mode = WAL")) != SQLITE_OK ||
             (rc = connection.exec("BEGIN IMMEDIATE;\n" +
                                   sqlite_detail::create_schema_sql(description) + "COMMIT;")) !=
                 SQLITE_OK) {
    error = sqlite_detail::failure_text(raw, rc);
  }
  connection.close();
  if (!error.empty()) {
    remove_created(path);
    return AdminResult::failure(in_file(path, "cannot create: " + error));
  }
  RecordLockFile locks;
  if (int err = locks.open_for_locking(RecordLockFile::path_for(path), true); err != 0) {
    remove_created(path);
    return AdminResult::failure(
        in_file(path, "cannot create the lock file: " + std::generic_category().message(err)));
  }
  return AdminResult::success();
}

AdminResult load_records(const std::filesystem::path& path, const FileDescription& description,
                         std::istream& in, std::size_t& loaded, const LoadProgress& progress) {
  loaded = 0;
  std::error_code ec;
  bool created = false;
  if (!std::filesystem::exists(std::filesystem::symlink_status(path, ec))) {
    if (AdminResult made = create_file(path, description); !made.ok) {
      return made;
    }
    created = true;
  }
  auto reject = [&](std::string message) {
    if (created) remove_created(path);
    loaded = 0;
    return AdminResult::failure(in_file(path, message));
  };

  std::string outcome;
  std::size_t count = 0;
  {
    OpenedDatabase opened =
        sqlite_detail::open_indexed_database(path, description, OpenMode::input_output);
    if (!opened.status.ok()) {
      AdminResult failure = open_failure(path, opened);
      if (created) remove_created(path);
      return failure;
    }
    Connection& connection = opened.connection;
    sqlite3* db = connection.get();
    connection.exec("PRAGMA cache_size = -32768");
    int rc = connection.exec("BEGIN IMMEDIATE");
    if (rc != SQLITE_OK) {
      outcome = "cannot begin the load: " + sqlite_detail::failure_text(db, rc);
    } else {
      Statement insert(db, sqlite_detail::insert_sql(description));
      const std::size_t length = description.record_length;
      const int data_column = static_cast<int>(description.keys.size()) + 1;
      std::string record(length, '\0');
      while (outcome.empty()) {
        in.read(record.data(), static_cast<std::streamsize>(length));
        std::size_t got = static_cast<std::size_t>(in.gcount());
        if (got == 0) break;
        if (got < length) {
          outcome = "record " + std::to_string(count + 1) + " is short: " + std::to_string(got) +
                    " bytes of " + std::to_string(length);
          break;
        }
        ResetOnExit reset(insert);
        for (std::size_t n = 0; n < description.keys.size(); ++n) {
          insert.bind_blob(static_cast<int>(n) + 1,
                           sqlite_detail::key_of(record, description.keys[n]));
        }
        insert.bind_blob(data_column, record);
        rc = insert.step();
        if (rc == SQLITE_DONE) {
          ++count;
          if (progress && count % 10000 == 0) progress(count);
        } else if ((rc & 0xff) == SQLITE_CONSTRAINT) {
          outcome = "record " + std::to_string(count + 1) +
                    ": a record with the same key exists already (" + sqlite3_errmsg(db) + ")";
        } else {
          outcome =
              "record " + std::to_string(count + 1) + ": " + sqlite_detail::failure_text(db, rc);
        }
      }
      insert = Statement();
      if (outcome.empty() && in.bad()) {
        outcome = "cannot read the records";
      }
      if (outcome.empty()) {
        rc = connection.exec("COMMIT");
        if (rc != SQLITE_OK) outcome = "cannot commit: " + sqlite_detail::failure_text(db, rc);
      }
      if (!outcome.empty() && sqlite3_get_autocommit(db) == 0) {
        connection.exec("ROLLBACK");
      }
    }
  }
  if (!outcome.empty()) {
    return reject(outcome);
  }
  loaded = count;
  if (progress) progress(count);
  return AdminResult::success();
}

AdminResult dump_records(const std::filesystem::path& path, const FileDescription& description,
                         std::size_t key, std::ostream& out) {
  if (key >= description.keys.size()) {
    return AdminResult::failure(in_file(path, "no key " + std::to_string(key)));
  }
  OpenedDatabase opened = sqlite_detail::open_indexed_database(path, description, OpenMode::input);
  if (!opened.status.ok()) {
    return open_failure(path, opened);
  }
  sqlite3* db = opened.connection.get();
  Statement all(db, "SELECT data FROM records ORDER BY " + order_by(description, key));
  int rc;
  while ((rc = all.step()) == SQLITE_ROW) {
    std::string_view data = all.column_blob(0);
    out.write(data.data(), static_cast<std::streamsize>(data.size()));
    if (!out) {
      return AdminResult::failure(in_file(path, "cannot write the records"));
    }
  }
  if (rc != SQLITE_DONE) {
    return AdminResult::failure(
        in_file(path, "cannot read the records: " + sqlite_detail::failure_text(db, rc)));
  }
  return AdminResult::success();
}

AdminResult check_file(const std::filesystem::path& path, const FileDescription& description,
                       std::vector<std::string>& problems) {
  problems.clear();
  OpenedDatabase opened = sqlite_detail::open_indexed_database(path, description, OpenMode::input);
  if (!opened.status.ok()) {
    problems.push_back("cannot open (status " + std::string(opened.status.code()) +
                       "): " + opened.detail);
    return AdminResult::failure(in_file(path, problems.back()));
  }
  sqlite3* db = opened.connection.get();
  {
    Statement integrity(db, "PRAGMA integrity_check");
    int rc;
    while ((rc = integrity.step()) == SQLITE_ROW) {
      std::string_view line = integrity.column_blob(0);
      if (line != "ok") problems.push_back("integrity: " + std::string(line));
    }
    if (rc != SQLITE_DONE) {
      problems.push_back("integrity check failed: " + sqlite_detail::failure_text(db, rc));
    }
  }
  {
    std::string columns;
    for (std::size_t n = 0; n < description.keys.size(); ++n) {
      columns += ", k" + std::to_string(n);
    }
    Statement all(db, "SELECT seq, data" + columns + " FROM records ORDER BY seq");
    int rc;
    while ((rc = all.step()) == SQLITE_ROW) {
      std::int64_t seq = all.column_int64(0);
      std::string_view data = all.column_blob(1);
      std::string where = "record " + std::to_string(seq) + ": ";
      if (data.size() != description.record_length) {
        problems.push_back(where + "length " + std::to_string(data.size()) + " instead of " +
                           std::to_string(description.record_length));
        continue;
      }
      for (std::size_t n = 0; n < description.keys.size(); ++n) {
        if (all.column_blob(static_cast<int>(n) + 2) !=
            sqlite_detail::key_of(data, description.keys[n])) {
          problems.push_back(where + "key " + std::to_string(n) + " differs from the record");
        }
      }
    }
    if (rc != SQLITE_DONE) {
      problems.push_back("cannot read the records: " + sqlite_detail::failure_text(db, rc));
    }
  }
  if (!problems.empty()) {
    return AdminResult::failure(in_file(path, std::to_string(problems.size()) + " problem(s)"));
  }
  return AdminResult::success();
}

}  // namespace vrx
