#include "platform/files/status_mapping.h"

#include <sqlite3.h>

#include <cerrno>

namespace vrx {
namespace {

FileStatus status_from_errno(FailedStep step, int os_errno) {
  if (step == FailedStep::operation) {
    return FileStatus::damaged();
  }
  switch (os_errno) {
    case ENOENT:
    case ENOTDIR:
      return FileStatus::missing_file();
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
      return FileStatus::no_permission();
    default:
      return FileStatus::damaged();
  }
}

}  // namespace

FileStatus status_from_failure(FailedStep step, int sqlite_code, int os_errno) {
  const bool opening = step == FailedStep::open;
  switch (sqlite_code & 0xff) {
    case SQLITE_OK:
    case SQLITE_CANTOPEN:
      return status_from_errno(step, os_errno);
    case SQLITE_PERM:
    case SQLITE_AUTH:
    case SQLITE_READONLY:
      return opening ? FileStatus::no_permission() : FileStatus::damaged();
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      // Another program keeps the database itself locked for longer than the
      // busy timeout: as good as a record held by another program.
      return FileStatus::record_locked();
    case SQLITE_CONSTRAINT:
      return FileStatus::duplicate_key();
    case SQLITE_ERROR:
    case SQLITE_SCHEMA:
      // At open: tables or columns missing, i.e. a database that is not one
      // of our indexed files.
      return opening ? FileStatus::conflicting_file() : FileStatus::damaged();
    default:  // NOTADB, CORRUPT, FORMAT, IOERR, FULL, NOMEM, PROTOCOL, ...
      return FileStatus::damaged();
  }
}

}  // namespace vrx
