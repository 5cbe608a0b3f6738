// Indexed files shared between programs: the interface the program sees.
//
// A FileStore opens files by their description; each open gives an
// IndexedFile handle. Every handle behaves as a separate program towards
// record locks, even inside one process. A handle is used from one thread.
//
// Record areas are raw bytes of exactly the record length. The engine stores
// and returns them byte for byte; keys are compared as unsigned bytes.
//
// Storage backends (the local SQLite files today, a shared server later)
// implement FileStore and IndexedFile; nothing above this header depends on
// which one is in use.
#ifndef PLATFORM_FILES_INDEXED_FILE_H_
#define PLATFORM_FILES_INDEXED_FILE_H_

#include <cstddef>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/files/file_status.h"

namespace vrx {

struct KeyDescription {
  std::size_t offset = 0;
  std::size_t length = 0;
  bool duplicates = false;

  friend bool operator==(const KeyDescription&, const KeyDescription&) = default;
};

struct FileDescription {
  std::string name;            // logical name, e.g. "PRODUTO"
  std::string catalogue_path;  // e.g. "\VantrexoSistemica\ORV\Arquivos\PRODUTO.VRX"
  std::size_t record_length = 0;
  std::vector<KeyDescription> keys;  // keys[0] is the primary key (no duplicates)
};

enum class OpenMode { input, input_output };

using RecordArea = std::span<char>;
using ConstRecordArea = std::span<const char>;

// One open file. Every operation returns a status and never throws.
// Record-area arguments must be exactly the record length.
class IndexedFile {
 public:
  virtual ~IndexedFile() = default;

  // Reads the record whose primary key stands in the area. "00" delivered
  // (in input-output mode the record is then locked until the next read,
  // Unlock or Close), "23" none, "99" locked by another program.
  virtual FileStatus read(RecordArea area) = 0;

  // Positions before the first record whose key `key` is not less than the
  // key's value in the area. Invalid-key condition ("23") when there is none.
  virtual FileStatus start(std::size_t key, ConstRecordArea area) = 0;

  // Delivers the next record in the order of the key last started on
  // (equal alternate keys in write order). At-end condition ("10") after the
  // last; "99" when another program holds the next record, and then the
  // position does not move.
  virtual FileStatus read_next(RecordArea area) = 0;

  // Releases the record locks this handle holds from reads.
  virtual FileStatus unlock() = 0;

  // Deletes the record whose primary key stands in the area, from every key.
  // "99" rather than delete a record another program holds. The deletion is
  // pending until commit(): this handle no longer finds the record, other
  // programs find it locked ("99"); a killed program's pending deletions
  // never happened.
  virtual FileStatus remove(ConstRecordArea area) = 0;

  // Makes every pending deletion durable and visible to other programs, all
  // of them or (on a failure, which is returned) none, and releases the locks
  // kept on the deleted records. The handle never commits on its own before
  // close(): the program chooses its commit points.
  virtual FileStatus commit() = 0;

  // Drops every pending deletion (the records stay) and releases their locks.
  virtual FileStatus rollback() = 0;

  // Commits, releases every lock and closes. The handle is unusable after.
  virtual FileStatus close() = 0;
};

struct OpenResult {
  FileStatus status;
  std::unique_ptr<IndexedFile> file;  // set only when status is "00"
};

class FileStore {
 public:
  virtual ~FileStore() = default;
  // Never creates or writes the file.
  virtual OpenResult open(const FileDescription& description, OpenMode mode) = 0;
};

}  // namespace vrx

#endif  // PLATFORM_FILES_INDEXED_FILE_H_
