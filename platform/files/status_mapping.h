// Turns the failures of SQLite and of the operating system into file
// statuses, in one place. Pure functions; callable from any thread.
#ifndef PLATFORM_FILES_STATUS_MAPPING_H_
#define PLATFORM_FILES_STATUS_MAPPING_H_

#include "platform/files/file_status.h"

namespace vrx {

// Whether the failure happened while opening a file (where "35", "37" and
// "39" tell the kinds of unusable file apart) or during any later operation
// (where every permanent failure is "30").
enum class FailedStep { open, operation };

// `sqlite_code` is an SQLite result code, primary or extended (0 when the
// failure came from a system call alone); `os_errno` is the errno of the
// failing system call, or 0 when unknown.
FileStatus status_from_failure(FailedStep step, int sqlite_code, int os_errno);

}  // namespace vrx

#endif  // PLATFORM_FILES_STATUS_MAPPING_H_
