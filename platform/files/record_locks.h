// Record locks between programs. Each data file has a lock file beside it
// (its name plus ".lck"); a record is locked by locking one byte of that file
// at the record's write sequence number, which is unique within the file and
// never reused. The locks are Linux open-file-description locks: they belong
// to the descriptor this object opened, so two objects in one process exclude
// each other like two programs do, and every lock goes when the descriptor is
// closed or the process ends. Nothing here ever waits for a lock.
//
// The lock file is never the database or one of SQLite's own files.
// Not thread-safe; one object per file handle.
#ifndef PLATFORM_FILES_RECORD_LOCKS_H_
#define PLATFORM_FILES_RECORD_LOCKS_H_

#include <cstdint>
#include <filesystem>
#include <optional>

namespace vrx {

enum class LockResult { ok, held_by_other, error };

class RecordLockFile {
 public:
  RecordLockFile() = default;
  ~RecordLockFile();
  RecordLockFile(RecordLockFile&& other) noexcept;
  RecordLockFile& operator=(RecordLockFile&& other) noexcept;
  RecordLockFile(const RecordLockFile&) = delete;
  RecordLockFile& operator=(const RecordLockFile&) = delete;

  // The lock file that belongs to a data file.
  static std::filesystem::path path_for(const std::filesystem::path& data_file);

  // Opens (and, with `create`, creates when missing) the lock file for
  // taking locks. Returns 0 or the errno of the failure.
  int open_for_locking(const std::filesystem::path& lock_file, bool create);
  // Opens the lock file only to test for other programs' locks. A missing
  // lock file that cannot be created means nobody can hold a lock: returns 0
  // and every test then finds the record free.
  int open_for_testing(const std::filesystem::path& lock_file);

  bool is_open() const { return fd_ >= 0; }
  // The errno of the last failing call, for the status mapping.
  int last_errno() const { return last_errno_; }

  // Takes the record's lock (again, when this object holds it already).
  LockResult lock(std::int64_t record);
  // ok when no other holder of a lock on the record exists.
  LockResult test(std::int64_t record);
  LockResult unlock(std::int64_t record);
  // Releases every lock this object holds except the one on `keep`.
  LockResult unlock_all_except(std::optional<std::int64_t> keep);

  void close();

 private:
  int fd_ = -1;
  bool can_lock_ = false;
  int last_errno_ = 0;
};

// A record lock just taken: released at the end of the scope unless kept.
// Without a lock file (a lock that was only tested) it does nothing.
class TakenRecordLock {
 public:
  TakenRecordLock(RecordLockFile* locks, std::int64_t record) : locks_(locks), record_(record) {}
  ~TakenRecordLock() {
    if (locks_ != nullptr) locks_->unlock(record_);
  }
  TakenRecordLock(const TakenRecordLock&) = delete;
  TakenRecordLock& operator=(const TakenRecordLock&) = delete;
  // The lock outlives the scope.
  void keep() { locks_ = nullptr; }

 private:
  RecordLockFile* locks_;
  std::int64_t record_;
};

}  // namespace vrx

#endif  // PLATFORM_FILES_RECORD_LOCKS_H_
