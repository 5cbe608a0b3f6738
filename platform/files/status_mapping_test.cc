#include "platform/files/status_mapping.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cerrno>
#include <string>

namespace vrx {
namespace {

struct MappingCase {
  FailedStep step;
  int sqlite_code;
  int os_errno;
  const char* expected;
};

TEST(StatusMapping, TurnsSqliteCodesAndErrnoIntoStatuses) {
  const MappingCase cases[] = {
      {FailedStep::open, 0, ENOENT, "35"},
      {FailedStep::open, SQLITE_CANTOPEN, ENOENT, "35"},
      {FailedStep::open, SQLITE_CANTOPEN, ENOTDIR, "35"},
      {FailedStep::open, SQLITE_CANTOPEN, EACCES, "37"},
      {FailedStep::open, 0, EPERM, "37"},
      {FailedStep::open, 0, EROFS, "37"},
      {FailedStep::open, SQLITE_CANTOPEN_ISDIR, EISDIR, "37"},
      {FailedStep::open, SQLITE_READONLY, 0, "37"},
      {FailedStep::open, SQLITE_PERM, 0, "37"},
      {FailedStep::open, SQLITE_NOTADB, 0, "30"},
      {FailedStep::open, SQLITE_CORRUPT, 0, "30"},
      {FailedStep::open, SQLITE_IOERR_SHORT_READ, EIO, "30"},
      {FailedStep::open, SQLITE_CANTOPEN, EMFILE, "30"},
      {FailedStep::open, SQLITE_ERROR, 0, "39"},  // no such table: not one of ours
      {FailedStep::open, SQLITE_BUSY, 0, "99"},
      {FailedStep::operation, SQLITE_FULL, ENOSPC, "30"},
      {FailedStep::operation, SQLITE_IOERR_WRITE, ENOSPC, "30"},
      {FailedStep::operation, 0, ENOSPC, "30"},
      {FailedStep::operation, 0, ENOENT, "30"},  // the file went away under us
      {FailedStep::operation, SQLITE_READONLY, 0, "30"},
      {FailedStep::operation, SQLITE_ERROR, 0, "30"},
      {FailedStep::operation, SQLITE_CORRUPT_INDEX, 0, "30"},
      {FailedStep::operation, SQLITE_NOMEM, 0, "30"},
      {FailedStep::operation, SQLITE_BUSY_SNAPSHOT, 0, "99"},
      {FailedStep::operation, SQLITE_LOCKED, 0, "99"},
      {FailedStep::operation, SQLITE_CONSTRAINT_UNIQUE, 0, "22"},
  };
  for (const MappingCase& c : cases) {
    SCOPED_TRACE("sqlite " + std::to_string(c.sqlite_code) + " errno " +
                 std::to_string(c.os_errno) + (c.step == FailedStep::open ? " at open" : " later"));
    FileStatus status = status_from_failure(c.step, c.sqlite_code, c.os_errno);
    EXPECT_EQ(status.code(), c.expected);
    EXPECT_EQ(status.condition(), Condition::none);
  }
}

}  // namespace
}  // namespace vrx
