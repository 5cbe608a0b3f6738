// The program's side of the indexed file service: the six registered files,
// one record area each, and the one status field they all report through.
//
// Every operation sets the status field to "00" just before it and leaves the
// outcome there; the returned FileStatus also carries the invalid-key and
// at-end conditions. Nothing here throws or ends the program.
#ifndef DATA_DATA_FILES_H_
#define DATA_DATA_FILES_H_

#include <array>
#include <memory>
#include <optional>

#include "data/catalogue.h"
#include "data/record.h"
#include "platform/files/indexed_file.h"
#include "platform/text/fixed_text.h"

namespace dravel {

class DataFiles {
 public:
  // `status` is the program's W-STATUS field; it must outlive this object.
  explicit DataFiles(vantrexo::FixedText<2>& status);
  ~DataFiles();
  DataFiles(const DataFiles&) = delete;
  DataFiles& operator=(const DataFiles&) = delete;

  // Makes the six files known to the store. No file is opened.
  void register_files(vrx::FileStore& store);
  bool registered() const { return store_ != nullptr; }

  // Opens in the catalogue's mode for this program.
  vrx::FileStatus open(FileId file);
  vrx::FileStatus close(FileId file);
  vrx::FileStatus read(FileId file);                    // by the primary key in the record area
  vrx::FileStatus start(FileId file, std::size_t key);  // not less than, full key length
  vrx::FileStatus read_next(FileId file);
  vrx::FileStatus unlock(FileId file);
  vrx::FileStatus remove(FileId file);  // the record whose primary key is in the area

  // Makes the deletions done so far durable on every open file; the program
  // calls it before every message box and at the end of every command.
  // A commit that fails leaves its deletions to the next commit or close.
  void commit_all() noexcept;

  bool is_open(FileId file) const;
  Record& record(FileId file) { return records_[index(file)]; }
  const Record& record(FileId file) const { return records_[index(file)]; }

 private:
  static std::size_t index(FileId f) { return static_cast<std::size_t>(f); }
  vrx::FileStatus report(vrx::FileStatus s);

  vantrexo::FixedText<2>& status_;
  vrx::FileStore* store_ = nullptr;
  std::array<Record, kFileCount> records_;
  std::array<std::unique_ptr<vrx::IndexedFile>, kFileCount> handles_;
};

}  // namespace dravel

#endif  // DATA_DATA_FILES_H_
