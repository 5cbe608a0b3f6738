// The local storage backend: one SQLite database per indexed file, record
// locks between programs in a lock file beside it, and the administrative
// operations the data tool needs (create, load, dump, check).
#ifndef PLATFORM_FILES_SQLITE_STORE_H_
#define PLATFORM_FILES_SQLITE_STORE_H_

#include <cstddef>
#include <filesystem>
#include <functional>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "platform/files/indexed_file.h"

namespace vrx {

// The directory that a catalogue path's leading backslash stands for: the
// environment variable VANTREXO_DRIVE, or "/" when it is unset or empty.
std::filesystem::path drive_from_environment();

// "\A\B\C.VRX" under `drive` becomes drive/A/B/C.VRX (names keep their case).
std::filesystem::path map_catalogue_path(std::string_view catalogue_path,
                                         const std::filesystem::path& drive);

class SqliteFileStore : public FileStore {
 public:
  explicit SqliteFileStore(std::filesystem::path drive);
  OpenResult open(const FileDescription& description, OpenMode mode) override;
  const std::filesystem::path& drive() const { return drive_; }

 private:
  std::filesystem::path drive_;
};

// Outcome of an administrative operation: ok, or what went wrong in words.
struct AdminResult {
  bool ok = true;
  std::string message;
  static AdminResult success() { return {}; }
  static AdminResult failure(std::string m) { return {false, std::move(m)}; }
};

// Creates an empty indexed file at `path` (the folders too). Fails when a
// file is there already.
AdminResult create_file(const std::filesystem::path& path, const FileDescription& description);

// Called now and then during a load with the number of records added so far.
using LoadProgress = std::function<void(std::size_t records)>;

// Adds the fixed-length records read from `in` (concatenated, no separators)
// in one transaction, creating the file when absent. A short final record or
// a duplicate primary (or unique alternate) key rejects the whole load, and
// the message names the record's number (from 1). `loaded` gets the count.
AdminResult load_records(const std::filesystem::path& path, const FileDescription& description,
                         std::istream& in, std::size_t& loaded, const LoadProgress& progress = {});

// Writes every record in the order of key `key`, concatenated.
AdminResult dump_records(const std::filesystem::path& path, const FileDescription& description,
                         std::size_t key, std::ostream& out);

// Verifies the file: SQLite's integrity check, every record of the right
// length, every key consistent with its record, and the description stored
// in the file matching `description`. Each problem found is one line.
AdminResult check_file(const std::filesystem::path& path, const FileDescription& description,
                       std::vector<std::string>& problems);

}  // namespace vrx

#endif  // PLATFORM_FILES_SQLITE_STORE_H_
