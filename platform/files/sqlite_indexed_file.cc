#include "platform/files/sqlite_indexed_file.h"

#include <algorithm>
#include <cstring>
#include <tuple>
#include <utility>

#include "platform/files/test_hooks.h"

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
    seq_exists_ = Statement(db, "SELECT 1 FROM records WHERE seq = ?1");
    delete_by_seq_ = Statement(db, "DELETE FROM records WHERE seq = ?1");
    begin_write_ = Statement(db, "BEGIN IMMEDIATE");
    commit_write_ = Statement(db, "COMMIT");
    rollback_write_ = Statement(db, "ROLLBACK");
    all.insert(all.end(),
               {&seq_exists_, &delete_by_seq_, &begin_write_, &commit_write_, &rollback_write_});
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
  return failure_status(connection_.get(), rc, FailedStep::operation);
}

FileStatus SqliteIndexedFile::lock_failure() const {
  // Whatever went wrong on the lock file, it is no record held by another
  // program: an I/O error, never "99".
  return status_from_failure(FailedStep::operation, 0, locks_.last_errno());
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

FileStatus SqliteIndexedFile::exists(std::int64_t seq) {
  ResetOnExit reset(seq_exists_);
  seq_exists_.bind_int64(1, seq);
  int rc = seq_exists_.step();
  if (rc == SQLITE_ROW) return FileStatus::success();
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
  for (;;) {
    Statement& rows = position_.at_start ? k.start_batch : k.next_batch;
    ResetOnExit reset(rows);
    rows.bind_blob(1, position_.value);
    rows.bind_int64(2, position_.seq);
    rows.bind_int64(3, static_cast<std::int64_t>(batch_limit_));
    std::size_t read = 0;
    std::string last_key = position_.value;
    std::int64_t last_seq = position_.seq;
    int rc;
    while ((rc = rows.step()) == SQLITE_ROW) {
      ++read;
      std::string key(rows.column_blob(0));
      const std::int64_t seq = rows.column_int64(1);
      // Each row must come after the one before it (after the position, for
      // the first). A damaged index can break that, and reading on from such
      // a row would skip records or go round in circles for ever.
      if (std::tie(key, seq) <= std::tie(last_key, last_seq)) {
        batch_.clear();
        return FileStatus::damaged();
      }
      last_key.swap(key);
      last_seq = seq;
      if (!pending_set_.empty() && pending(seq)) continue;
      if (batch_.size == batch_.rows.size()) batch_.rows.emplace_back();
      Batch::Row& row = batch_.rows[batch_.size++];
      row.key = last_key;
      row.seq = seq;
      row.data.assign(rows.column_blob(2));
    }
    if (rc != SQLITE_DONE) {
      batch_.clear();
      return fail(rc);
    }
    if (!batch_.empty() || read < batch_limit_) return FileStatus::success();
    // Every row read is pending deletion here: go on after the last of them.
    position_.value.swap(last_key);
    position_.seq = last_seq;
    position_.at_start = false;
  }
}

FileStatus SqliteIndexedFile::drop_pending() {
  if (pending_.empty()) return FileStatus::success();
  pending_.clear();
  pending_set_.clear();
  // Only the pending deletions' locks and at most the last read's are held.
  if (locks_.unlock_all_except(read_lock_) != LockResult::ok) return lock_failure();
  return FileStatus::success();
}

void SqliteIndexedFile::remember_delivered(RecordArea area, std::int64_t seq, bool watched,
                                           const CommitWatch::Mark& mark) {
  if (updating()) {
    read_lock_ = seq;
    delivered_primary_.assign(key_of({area.data(), area.size()}, description_.keys[0]));
    delivered_seq_ = seq;
    delivered_watched_ = watched;
    if (watched) delivered_mark_ = mark;
  }
}

FileStatus SqliteIndexedFile::release_read_lock() {
  if (!read_lock_) return FileStatus::success();
  const std::int64_t seq = *std::exchange(read_lock_, std::nullopt);
  if (locks_.unlock(seq) != LockResult::ok) return lock_failure();
  return FileStatus::success();
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
  return lock_failure();
}

FileStatus SqliteIndexedFile::deliver(std::string_view data, RecordArea area) {
  if (data.size() != area.size()) {
    return FileStatus::damaged();
  }
  std::memcpy(area.data(), data.data(), data.size());
  return FileStatus::success();
}

FileStatus SqliteIndexedFile::read(RecordArea area) {
  [[maybe_unused]] OperationCount counted;
  if (!is_open()) return FileStatus::not_open();
  if (area.size() != description_.record_length) return FileStatus::damaged();
  if (FileStatus released = release_read_lock(); !released.ok()) return released;
  position_.valid = false;
  batch_.clear();
  batch_limit_ = 0;
  scratch_key_.assign(key_of({area.data(), area.size()}, description_.keys[0]));

  // Look up, lock (or test), then make sure the record found is still there:
  // another program may have deleted and committed it in between.
  std::int64_t seq = 0;
  CommitWatch::Mark read_mark{};
  bool read_watched = false;
  for (;;) {
    CommitWatch::Mark before;
    bool watched = watch_.mark(before);
    ResetOnExit reset(record_by_primary_);
    record_by_primary_.bind_blob(1, scratch_key_);
    int rc = record_by_primary_.step();
    if (rc == SQLITE_DONE) return FileStatus::no_record();
    if (rc != SQLITE_ROW) return fail(rc);
    seq = record_by_primary_.column_int64(0);
    if (pending(seq)) return FileStatus::no_record();  // deleted here, not yet committed
    if (FileStatus claimed = claim(seq); !claimed.ok()) return claimed;
    TakenRecordLock taken(taken_lock_file(), seq);
    if (unchanged_since(watched, before)) {
      if (FileStatus delivered = deliver(record_by_primary_.column_blob(1), area);
          !delivered.ok()) {
        return delivered;
      }
      taken.keep();
      read_mark = before;
      read_watched = true;
      break;
    }
    record_by_primary_.reset();
    FileStatus fetched = fetch_by_seq(seq, area);
    if (fetched.ok()) {
      taken.keep();
      break;
    }
    if (!fetched.not_found()) return fetched;
    // Deleted meanwhile: look again (it may have been loaded anew).
  }
  position_.valid = true;
  position_.key = 0;
  position_.value.swap(scratch_key_);
  position_.seq = seq;
  position_.at_start = false;
  remember_delivered(area, seq, read_watched, read_mark);
  return FileStatus::success();
}

FileStatus SqliteIndexedFile::start(std::size_t key, ConstRecordArea area) {
  [[maybe_unused]] OperationCount counted;
  if (!is_open()) return FileStatus::not_open();
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
  [[maybe_unused]] OperationCount counted;
  if (!is_open()) return FileStatus::not_open();
  if (area.size() != description_.record_length) return FileStatus::damaged();
  if (FileStatus released = release_read_lock(); !released.ok()) return released;
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
    bool fresh = false;  // delivered from a batch nobody has committed after
    // A "99" leaves the position and the batch: the same record comes next.
    if (FileStatus claimed = claim(seq); !claimed.ok()) return claimed;
    TakenRecordLock taken(taken_lock_file(), seq);
    if (unchanged_since(batch_.watched, batch_.mark)) {
      if (FileStatus delivered = deliver(row.data, area); !delivered.ok()) return delivered;
      position_.value = row.key;
      ++batch_.next;
      fresh = true;
    } else if (batch_.watched) {
      // Someone committed since the batch was read: this record may be gone,
      // or another may now come before it. Read again from the position.
      batch_.clear();
      continue;
    } else {
      // Without a watch the batch holds this one record: read it afresh.
      FileStatus fetched = fetch_by_seq(seq, area);
      std::string key = row.key;
      batch_.clear();
      if (!fetched.ok()) {
        if (fetched.not_found()) continue;  // read on from the same position
        return fetched;
      }
      position_.value.swap(key);
    }
    taken.keep();
    position_.seq = seq;
    position_.at_start = false;
    remember_delivered(area, seq, fresh, batch_.mark);
    return FileStatus::success();
  }
}

FileStatus SqliteIndexedFile::unlock() {
  [[maybe_unused]] OperationCount counted;
  if (!is_open()) return FileStatus::not_open();
  return release_read_lock();
}

FileStatus SqliteIndexedFile::remove(ConstRecordArea area) {
  [[maybe_unused]] OperationCount counted;
  if (!is_open() || !updating()) return FileStatus::not_open_for_update();
  if (area.size() != description_.record_length) return FileStatus::damaged();
  const std::string_view primary = key_of({area.data(), area.size()}, description_.keys[0]);
  // The record just delivered is usually the one deleted: its sequence is
  // known without a look-up. Should it have been deleted and loaded anew
  // since, it is no longer there, and the look-up follows.
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
    if (pending(seq)) return FileStatus::no_record();
    // The record's lock comes first, so a record another program holds gives
    // "99" at once. The lock of this handle's last read already guards it.
    const bool was_read_lock = read_lock_ == seq;
    std::optional<TakenRecordLock> taken;
    if (!was_read_lock) {
      if (FileStatus claimed = claim(seq); !claimed.ok()) return claimed;
      taken.emplace(&locks_, seq);
    }
    // Another program deletes only what it holds locked: once locked here,
    // a record still in the file stays there until this handle commits. The
    // record just delivered is still there when nobody has committed since.
    FileStatus there = known && unchanged_since(delivered_watched_, delivered_mark_)
                           ? FileStatus::success()
                           : exists(seq);
    if (there.not_found() && known) {
      known = false;  // gone before we locked it; perhaps loaded anew
      continue;
    }
    if (!there.ok()) return there;
    if (taken) taken->keep();
    if (was_read_lock) read_lock_.reset();  // the read's lock now guards the deletion
    pending_.push_back(seq);
    pending_set_.insert(seq);
    if (seq == delivered_seq_) delivered_seq_ = 0;
    // The batch was read before this deletion: only the record last delivered,
    // which lies before every row of the batch, may go without reading again.
    if (!(position_.valid && position_.seq == seq)) batch_.clear();
    return FileStatus::success();
  }
}

FileStatus SqliteIndexedFile::commit() {
  [[maybe_unused]] OperationCount counted;
  if (!is_open()) return FileStatus::not_open();
  if (pending_.empty()) return FileStatus::success();
  FileStatus status;
  {
    WriteTransaction transaction(connection_.get(), begin_write_, commit_write_, rollback_write_);
    int rc = transaction.begin();
    for (std::size_t i = 0; rc == SQLITE_DONE && i < pending_.size(); ++i) {
      ResetOnExit reset(delete_by_seq_);
      delete_by_seq_.bind_int64(1, pending_[i]);
      rc = delete_by_seq_.step();
    }
    if (rc == SQLITE_DONE) rc = transaction.commit();
    if (rc != SQLITE_DONE) status = fail(rc);
  }  // rolled back here unless committed
  // Committed or not, the deletions are no longer pending: on a failure the
  // records stay, and they are free again.
  FileStatus released = drop_pending();
  return status.ok() ? released : status;
}

FileStatus SqliteIndexedFile::rollback() {
  [[maybe_unused]] OperationCount counted;
  if (!is_open()) return FileStatus::not_open();
  return drop_pending();
}

FileStatus SqliteIndexedFile::close() {
  [[maybe_unused]] OperationCount counted;
  if (!is_open()) return FileStatus::not_open_to_close();
  FileStatus status = commit();
  record_by_primary_ = Statement();
  seq_by_primary_ = Statement();
  data_by_seq_ = Statement();
  seq_exists_ = Statement();
  delete_by_seq_ = Statement();
  begin_write_ = Statement();
  commit_write_ = Statement();
  rollback_write_ = Statement();
  key_statements_.clear();
  connection_.close();
  locks_.close();  // releases every record lock of this handle
  read_lock_.reset();
  position_ = Position{};
  return status;
}

}  // namespace vrx::sqlite_detail
