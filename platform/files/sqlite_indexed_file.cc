#include "platform/files/sqlite_indexed_file.h"

#include <algorithm>
#include <cstring>
#include <tuple>
#include <utility>

namespace vrx::sqlite_detail {
namespace {

// The records after a position, in key order, at most ?3 of them.
std::string batch_sql(std::size_t key, bool duplicates, bool at_start) {
  std::string k = "k" + std::to_string(key);
  std::string columns = k + ", seq, data";
  if (duplicates) {
    // Equal keys in write order: the rest of the current key value first,
    // then the following values. (A row-value comparison would not be served
    // by the index beyond its first column.) Right after a Start, ?2 is 0.
    return "SELECT " + columns + " FROM (SELECT " + columns + " FROM records WHERE " + k +
           " = ?1 AND seq > ?2 ORDER BY seq LIMIT ?3) UNION ALL SELECT " + columns +
           " FROM (SELECT " + columns + " FROM records WHERE " + k + " > ?1 ORDER BY " + k +
           ", seq LIMIT ?3) LIMIT ?3";
  }
  return "SELECT " + columns + " FROM records WHERE " + k + (at_start ? " >= ?1" : " > ?1") +
         " ORDER BY " + k + " LIMIT ?3";
}

// The handles of this thread whose group of deletions is open.
thread_local std::vector<SqliteIndexedFile*> open_groups;

}  // namespace

SqliteIndexedFile::SqliteIndexedFile(FileDescription description, OpenMode mode,
                                     Connection connection, RecordLockFile locks)
    : description_(std::move(description)),
      mode_(mode),
      connection_(std::move(connection)),
      locks_(std::move(locks)) {}

SqliteIndexedFile::~SqliteIndexedFile() {
  if (is_open()) {
    close();
  }
}

FileStatus SqliteIndexedFile::prepare() {
  sqlite3* db = connection_.get();
  record_by_primary_ = Statement(db, "SELECT seq, data FROM records WHERE k0 = ?1");
  seq_by_primary_ = Statement(db, "SELECT seq FROM records WHERE k0 = ?1");
  data_by_seq_ = Statement(db, "SELECT data FROM records WHERE seq = ?1");
  std::vector<Statement*> all = {&record_by_primary_, &seq_by_primary_, &data_by_seq_};
  if (updating()) {
    delete_by_seq_ = Statement(db, "DELETE FROM records WHERE seq = ?1");
    begin_group_ = Statement(db, "BEGIN IMMEDIATE");
    commit_group_ = Statement(db, "COMMIT");
    rollback_group_ = Statement(db, "ROLLBACK");
    all.insert(all.end(), {&delete_by_seq_, &begin_group_, &commit_group_, &rollback_group_});
  }
  key_statements_.resize(description_.keys.size());
  for (std::size_t n = 0; n < description_.keys.size(); ++n) {
    bool dup = description_.keys[n].duplicates;
    KeyStatements& k = key_statements_[n];
    k.start_batch = Statement(db, batch_sql(n, dup, true));
    k.next_batch = Statement(db, batch_sql(n, dup, false));
    all.insert(all.end(), {&k.start_batch, &k.next_batch});
  }
  watch_ = CommitWatch(db);
  max_batch_limit_ = std::clamp<std::size_t>(256 * 1024 / description_.record_length, 1, 256);
  for (Statement* statement : all) {
    if (!statement->valid()) {
      return failure_status(db, statement->prepare_code(), FailedStep::open);
    }
  }
  return FileStatus::success();
}

FileStatus SqliteIndexedFile::fail(int rc) {
  FileStatus status = failure_status(connection_.get(), rc, FailedStep::operation);
  // Some failures (a full disk, an I/O error) make SQLite roll the whole
  // transaction back: the group's deletions are undone, and this failure is
  // the group's end. Otherwise the next delete would run outside any group
  // and the next commit would fail again for want of a transaction.
  if (in_group_ && sqlite3_get_autocommit(connection_.get()) != 0) leave_group();
  return status;
}

bool SqliteIndexedFile::unchanged_since(bool watched, const CommitWatch::Mark& mark) const {
  CommitWatch::Mark now;
  return watched && watch_.mark(now) && now == mark;
}

FileStatus SqliteIndexedFile::fetch_by_seq(std::int64_t seq, RecordArea area) {
  ResetOnExit reset(data_by_seq_);
  data_by_seq_.bind_int64(1, seq);
  int rc = data_by_seq_.step();
  if (rc == SQLITE_ROW) return deliver(data_by_seq_.column_blob(0), area);
  if (rc == SQLITE_DONE) return FileStatus::no_record();
  return fail(rc);
}

FileStatus SqliteIndexedFile::fill_batch(bool first) {
  batch_.clear();
  batch_.watched = watch_.mark(batch_.mark);  // before the read transaction begins
  // A Start reads only the record it finds; reading on, the batches grow.
  // Without a watch every record is read afresh anyway: one at a time.
  batch_limit_ =
      first || !batch_.watched ? 1 : std::clamp<std::size_t>(batch_limit_ * 2, 4, max_batch_limit_);
  KeyStatements& k = key_statements_[position_.key];
  Statement& rows = position_.at_start ? k.start_batch : k.next_batch;
  ResetOnExit reset(rows);
  rows.bind_blob(1, position_.value);
  rows.bind_int64(2, position_.seq);
  rows.bind_int64(3, static_cast<std::int64_t>(batch_limit_));
  int rc;
  while ((rc = rows.step()) == SQLITE_ROW) {
    if (batch_.size == batch_.rows.size()) batch_.rows.emplace_back();
    Batch::Row& row = batch_.rows[batch_.size++];
    row.key.assign(rows.column_blob(0));
    row.seq = rows.column_int64(1);
    row.data.assign(rows.column_blob(2));
    // Each row must come after the one before it (after the position, for
    // the first). A damaged index can break that, and reading on from such
    // a row would skip records or go round in circles for ever.
    const bool first_row = batch_.size == 1;
    const std::string& after_key = first_row ? position_.value : batch_.rows[batch_.size - 2].key;
    const std::int64_t after_seq = first_row ? position_.seq : batch_.rows[batch_.size - 2].seq;
    if (std::tie(row.key, row.seq) <= std::tie(after_key, after_seq)) {
      batch_.clear();
      return FileStatus::damaged();
    }
  }
  if (rc != SQLITE_DONE) {
    batch_.clear();
    return fail(rc);
  }
  return FileStatus::success();
}

FileStatus SqliteIndexedFile::commit_if_due() {
  if (!deferred_failure_.ok()) {
    return std::exchange(deferred_failure_, FileStatus::success());
  }
  // Every group of the thread is due 20 ms after its first delete, whichever
  // file the program works on now.
  FileStatus status;
  const auto now = std::chrono::steady_clock::now();
  const std::vector<SqliteIndexedFile*> groups = open_groups;
  for (SqliteIndexedFile* group : groups) {
    if (now - group->group_began_ < kGroupCommitDelay) continue;
    if (group == this) {
      status = end_group();
    } else {
      group->end_group_for_another();
    }
  }
  return status;
}

int SqliteIndexedFile::begin_group() {
  sqlite3* db = connection_.get();
  sqlite3_busy_timeout(db, 0);
  int rc = begin_group_.step();
  begin_group_.reset();
  sqlite3_busy_timeout(db, kBusyTimeoutMs);
  if ((rc & 0xFF) == SQLITE_BUSY) {
    // Another program is writing to this file. Wait for it only after
    // committing this thread's other groups, so that no program waits for a
    // write lock while it holds another: two programs deleting from the
    // same files in different orders never wait for each other.
    const std::vector<SqliteIndexedFile*> groups = open_groups;
    for (SqliteIndexedFile* group : groups) group->end_group_for_another();
    rc = begin_group_.step();
    begin_group_.reset();
  }
  if (rc == SQLITE_DONE) {
    in_group_ = true;
    open_groups.push_back(this);
    group_began_ = std::chrono::steady_clock::now();
  }
  return rc;
}

void SqliteIndexedFile::end_group_for_another() {
  if (FileStatus status = end_group(); !status.ok() && deferred_failure_.ok()) {
    deferred_failure_ = status;
  }
}

FileStatus SqliteIndexedFile::end_group() {
  if (!in_group_) {
    return FileStatus::success();
  }
  FileStatus status;
  int rc = commit_group_.step();
  commit_group_.reset();
  if (rc != SQLITE_DONE) {
    status = fail(rc);
    if (sqlite3_get_autocommit(connection_.get()) == 0) {
      rollback_group_.step();
      rollback_group_.reset();
    }
  }
  FileStatus left = leave_group();
  return status.ok() ? left : status;
}

FileStatus SqliteIndexedFile::leave_group() {
  std::erase(open_groups, this);
  in_group_ = false;
  FileStatus status;
  if (deleted_in_group_ != 0) {
    // Only the deletions' locks and at most the last read's are held.
    if (locks_.unlock_all_except(read_lock_) != LockResult::ok) {
      status = status_from_failure(FailedStep::operation, 0, locks_.last_errno());
    }
    deleted_in_group_ = 0;
  }
  return status;
}

void SqliteIndexedFile::remember_delivered(RecordArea area, std::int64_t seq) {
  if (updating()) {
    read_lock_ = seq;
    delivered_primary_.assign(key_of({area.data(), area.size()}, description_.keys[0]));
    delivered_seq_ = seq;
  }
}

void SqliteIndexedFile::release_read_lock() {
  if (read_lock_) {
    locks_.unlock(*read_lock_);
    read_lock_.reset();
  }
}

FileStatus SqliteIndexedFile::claim(std::int64_t seq) {
  LockResult result = updating() ? locks_.lock(seq) : locks_.test(seq);
  switch (result) {
    case LockResult::ok:
      return FileStatus::success();
    case LockResult::held_by_other:
      return FileStatus::record_locked();
    case LockResult::error:
      break;
  }
  return status_from_failure(FailedStep::operation, 0, locks_.last_errno());
}

FileStatus SqliteIndexedFile::deliver(std::string_view data, RecordArea area) {
  if (data.size() != area.size()) {
    return FileStatus::damaged();
  }
  std::memcpy(area.data(), data.data(), data.size());
  return FileStatus::success();
}

FileStatus SqliteIndexedFile::read(RecordArea area) {
  if (!is_open()) return FileStatus::not_open();
  if (FileStatus due = commit_if_due(); !due.ok()) return due;
  if (area.size() != description_.record_length) return FileStatus::damaged();
  release_read_lock();
  position_.valid = false;
  batch_.clear();
  batch_limit_ = 0;
  scratch_key_.assign(key_of({area.data(), area.size()}, description_.keys[0]));

  // Look up, lock (or test), then make sure the record found is still there:
  // another program may have deleted and committed it in between.
  std::int64_t seq = 0;
  for (;;) {
    CommitWatch::Mark before;
    bool watched = watch_.mark(before);
    {
      ResetOnExit reset(record_by_primary_);
      record_by_primary_.bind_blob(1, scratch_key_);
      int rc = record_by_primary_.step();
      if (rc == SQLITE_DONE) return FileStatus::no_record();
      if (rc != SQLITE_ROW) return fail(rc);
      seq = record_by_primary_.column_int64(0);
      if (FileStatus claimed = claim(seq); !claimed.ok()) return claimed;
      if (unchanged_since(watched, before)) {
        if (FileStatus delivered = deliver(record_by_primary_.column_blob(1), area);
            !delivered.ok()) {
          if (updating()) locks_.unlock(seq);
          return delivered;
        }
        break;
      }
    }
    FileStatus fetched = fetch_by_seq(seq, area);
    if (fetched.ok()) break;
    if (updating()) locks_.unlock(seq);
    if (!fetched.not_found()) return fetched;
    // Deleted meanwhile: look again (it may have been loaded anew).
  }
  position_.valid = true;
  position_.key = 0;
  position_.value.swap(scratch_key_);
  position_.seq = seq;
  position_.at_start = false;
  remember_delivered(area, seq);
  return FileStatus::success();
}

FileStatus SqliteIndexedFile::start(std::size_t key, ConstRecordArea area) {
  if (!is_open()) return FileStatus::not_open();
  if (FileStatus due = commit_if_due(); !due.ok()) return due;
  if (area.size() != description_.record_length) return FileStatus::damaged();
  position_.valid = false;
  batch_.clear();
  batch_limit_ = 0;
  if (key >= description_.keys.size()) return FileStatus::no_record_to_start();
  // The first record is read at once: the Read next that follows a Start
  // then needs no read transaction of its own.
  position_.key = key;
  position_.value.assign(key_of({area.data(), area.size()}, description_.keys[key]));
  position_.seq = 0;
  position_.at_start = true;
  if (FileStatus filled = fill_batch(true); !filled.ok()) return filled;
  if (batch_.empty()) return FileStatus::no_record_to_start();
  position_.valid = true;
  return FileStatus::success();
}

FileStatus SqliteIndexedFile::read_next(RecordArea area) {
  if (!is_open()) return FileStatus::not_open();
  if (FileStatus due = commit_if_due(); !due.ok()) return due;
  if (area.size() != description_.record_length) return FileStatus::damaged();
  release_read_lock();
  if (!position_.valid) return FileStatus::no_position();
  for (;;) {
    if (batch_.empty()) {
      if (FileStatus filled = fill_batch(false); !filled.ok()) return filled;
      if (batch_.empty()) {
        position_.valid = false;
        return FileStatus::at_end_of_file();
      }
    }
    const Batch::Row& row = batch_.rows[batch_.next];
    const std::int64_t seq = row.seq;
    // A "99" leaves the position and the batch: the same record comes next.
    if (FileStatus claimed = claim(seq); !claimed.ok()) return claimed;
    if (unchanged_since(batch_.watched, batch_.mark)) {
      if (FileStatus delivered = deliver(row.data, area); !delivered.ok()) {
        if (updating()) locks_.unlock(seq);
        return delivered;
      }
      position_.value = row.key;
      ++batch_.next;
    } else if (batch_.watched) {
      // Someone committed since the batch was read: this record may be gone,
      // or another may now come before it. Read again from the position.
      if (updating()) locks_.unlock(seq);
      batch_.clear();
      continue;
    } else {
      // Without a watch the batch holds this one record: read it afresh.
      FileStatus fetched = fetch_by_seq(seq, area);
      std::string key = row.key;
      batch_.clear();
      if (!fetched.ok()) {
        if (updating()) locks_.unlock(seq);
        if (fetched.not_found()) continue;  // read on from the same position
        return fetched;
      }
      position_.value.swap(key);
    }
    position_.seq = seq;
    position_.at_start = false;
    remember_delivered(area, seq);
    return FileStatus::success();
  }
}

FileStatus SqliteIndexedFile::unlock() {
  if (!is_open()) return FileStatus::not_open();
  if (FileStatus due = commit_if_due(); !due.ok()) return due;
  release_read_lock();
  return FileStatus::success();
}

FileStatus SqliteIndexedFile::remove(ConstRecordArea area) {
  if (!is_open() || !updating()) return FileStatus::not_open_for_update();
  if (FileStatus due = commit_if_due(); !due.ok()) return due;
  if (area.size() != description_.record_length) return FileStatus::damaged();
  const std::string_view primary = key_of({area.data(), area.size()}, description_.keys[0]);
  // The record just delivered is usually the one deleted: its sequence is
  // known without a look-up. Should it have been deleted and loaded anew
  // since, the deletion by that sequence finds nothing, and the look-up
  // follows.
  bool known = delivered_seq_ != 0 && primary == delivered_primary_;
  for (;;) {
    std::int64_t seq = delivered_seq_;
    if (!known) {
      ResetOnExit reset(seq_by_primary_);
      seq_by_primary_.bind_blob(1, primary);
      int rc = seq_by_primary_.step();
      if (rc == SQLITE_DONE) return FileStatus::no_record();
      if (rc != SQLITE_ROW) return fail(rc);
      seq = seq_by_primary_.column_int64(0);
    }
    // The record's lock comes first, so a record another program holds gives
    // "99" at once instead of waiting for that program's write transaction.
    const bool was_read_lock = read_lock_ == seq;
    if (was_read_lock) {
      read_lock_.reset();  // the read's lock now guards the deletion
    } else if (FileStatus claimed = claim(seq); !claimed.ok()) {
      return claimed;
    }
    auto give_back_lock = [&] {
      if (was_read_lock) {
        read_lock_ = seq;
      } else {
        locks_.unlock(seq);
      }
    };
    if (!in_group_) {
      if (int rc = begin_group(); rc != SQLITE_DONE) {
        give_back_lock();
        return fail(rc);
      }
    }
    int rc;
    {
      ResetOnExit reset(delete_by_seq_);
      delete_by_seq_.bind_int64(1, seq);
      rc = delete_by_seq_.step();
    }
    if (rc != SQLITE_DONE) {
      give_back_lock();
      return fail(rc);
    }
    if (sqlite3_changes(connection_.get()) == 0) {
      // Gone: another program deleted and committed it before we locked it.
      give_back_lock();
      if (known) {
        known = false;
        continue;
      }
      return FileStatus::no_record();
    }
    ++deleted_in_group_;
    if (seq == delivered_seq_) delivered_seq_ = 0;
    // The batch was read before this deletion: only the record last delivered,
    // which lies before every row of the batch, may go without reading again.
    if (!(position_.valid && position_.seq == seq)) batch_.clear();
    return FileStatus::success();
  }
}

FileStatus SqliteIndexedFile::commit() {
  if (!is_open()) return FileStatus::not_open();
  FileStatus earlier = std::exchange(deferred_failure_, FileStatus::success());
  FileStatus now = end_group();
  return earlier.ok() ? now : earlier;
}

FileStatus SqliteIndexedFile::close() {
  if (!is_open()) return FileStatus::not_open_to_close();
  FileStatus earlier = std::exchange(deferred_failure_, FileStatus::success());
  FileStatus status = end_group();
  if (!earlier.ok()) status = earlier;
  record_by_primary_ = Statement();
  seq_by_primary_ = Statement();
  data_by_seq_ = Statement();
  delete_by_seq_ = Statement();
  begin_group_ = Statement();
  commit_group_ = Statement();
  rollback_group_ = Statement();
  key_statements_.clear();
  connection_.close();
  locks_.close();  // releases every record lock of this handle
  read_lock_.reset();
  position_ = Position{};
  return status;
}

}  // namespace vrx::sqlite_detail
