#include "platform/files/record_locks.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace vrx {
namespace {

int fcntl_lock(int fd, int command, short type, off_t start, off_t length, struct flock* out) {
  struct flock request = {};
  request.l_type = type;
  request.l_whence = SEEK_SET;
  request.l_start = start;
  request.l_len = length;
  request.l_pid = 0;  // required for open-file-description locks
  int rc = ::fcntl(fd, command, &request);
  if (out != nullptr) {
    *out = request;
  }
  return rc;
}

}  // namespace

RecordLockFile::~RecordLockFile() { close(); }

RecordLockFile::RecordLockFile(RecordLockFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      can_lock_(other.can_lock_),
      last_errno_(other.last_errno_) {}

RecordLockFile& RecordLockFile::operator=(RecordLockFile&& other) noexcept {
  if (this != &other) {
    close();
    fd_ = std::exchange(other.fd_, -1);
    can_lock_ = other.can_lock_;
    last_errno_ = other.last_errno_;
  }
  return *this;
}

std::filesystem::path RecordLockFile::path_for(const std::filesystem::path& data_file) {
  std::filesystem::path lock_file = data_file;
  lock_file += ".lck";
  return lock_file;
}

int RecordLockFile::open_for_locking(const std::filesystem::path& lock_file, bool create) {
  close();
  int flags = O_RDWR | O_CLOEXEC | (create ? O_CREAT : 0);
  fd_ = ::open(lock_file.c_str(), flags, 0666);
  if (fd_ < 0) {
    return last_errno_ = errno;
  }
  can_lock_ = true;
  return 0;
}

int RecordLockFile::open_for_testing(const std::filesystem::path& lock_file) {
  close();
  fd_ = ::open(lock_file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd_ < 0 && errno == ENOENT) {
    // Create it where we may, so that programs opening later share it.
    fd_ = ::open(lock_file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd_ < 0) {
      fd_ = ::open(lock_file.c_str(), O_RDONLY | O_CLOEXEC);  // created meanwhile?
    }
    if (fd_ < 0) {
      return 0;  // nobody can hold a lock in a lock file that does not exist
    }
  }
  if (fd_ < 0) {
    return last_errno_ = errno;
  }
  can_lock_ = false;
  return 0;
}

LockResult RecordLockFile::lock(std::int64_t record) {
  if (fd_ < 0 || !can_lock_) {
    last_errno_ = EBADF;
    return LockResult::error;
  }
  if (fcntl_lock(fd_, F_OFD_SETLK, F_WRLCK, record, 1, nullptr) == 0) {
    return LockResult::ok;
  }
  last_errno_ = errno;
  return (errno == EAGAIN || errno == EACCES) ? LockResult::held_by_other : LockResult::error;
}

LockResult RecordLockFile::test(std::int64_t record) {
  if (fd_ < 0) {
    return LockResult::ok;
  }
  struct flock found = {};
  if (fcntl_lock(fd_, F_OFD_GETLK, F_WRLCK, record, 1, &found) != 0) {
    last_errno_ = errno;
    return LockResult::error;
  }
  return found.l_type == F_UNLCK ? LockResult::ok : LockResult::held_by_other;
}

LockResult RecordLockFile::unlock(std::int64_t record) {
  if (fd_ < 0 || !can_lock_) {
    return LockResult::ok;
  }
  if (fcntl_lock(fd_, F_OFD_SETLK, F_UNLCK, record, 1, nullptr) == 0) {
    return LockResult::ok;
  }
  last_errno_ = errno;
  return LockResult::error;
}

LockResult RecordLockFile::unlock_all_except(std::optional<std::int64_t> keep) {
  if (fd_ < 0 || !can_lock_) {
    return LockResult::ok;
  }
  bool ok;
  if (keep) {
    // A length of 0 would mean "to the end": the range before `keep` is
    // skipped when empty.
    ok = (*keep <= 0 || fcntl_lock(fd_, F_OFD_SETLK, F_UNLCK, 0, *keep, nullptr) == 0) &&
         fcntl_lock(fd_, F_OFD_SETLK, F_UNLCK, *keep + 1, 0, nullptr) == 0;
  } else {
    ok = fcntl_lock(fd_, F_OFD_SETLK, F_UNLCK, 0, 0, nullptr) == 0;
  }
  if (ok) {
    return LockResult::ok;
  }
  last_errno_ = errno;
  return LockResult::error;
}

void RecordLockFile::close() {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
  can_lock_ = false;
}

}  // namespace vrx
