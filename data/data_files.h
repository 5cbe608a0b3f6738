// The program's side of the indexed file service: the six registered files,
// one record area each, and the one status field they all report through.
//
// Every operation sets the status field to "00" just before it and leaves the
// outcome there; the returned FileStatus also carries the invalid-key and
// at-end conditions. Nothing here throws or ends the program.
//
// A Delete is pending until its file is committed; the set of files owns the
// commits. The commit rule: files are committed in the order HISTVAL,
// HISTMOV, PRODUTO (the others are never written), so a product's deletion
// never becomes durable before the deletions the run made of its history
// records. When one file's commit fails, the files after it are rolled back
// instead of committed, and the failure is returned to the commit point
// that met it. A held file (PRODUTO while a product's histories are being
// deleted) is left pending by every commit point until the hold ends; a
// rollback after a failure still undoes it. The deadline: once any file's
// oldest pending deletion is kGroupCommitDelay old, commit_if_due() commits.
#ifndef DATA_DATA_FILES_H_
#define DATA_DATA_FILES_H_

#include <array>
#include <chrono>
#include <exception>
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

  struct CommitFailure {
    FileId file;
    vrx::FileStatus status;
  };
  // Commits every file that is not held, in the order of the commit rule.
  std::optional<CommitFailure> commit();
  // The same, once a pending deletion of any file has waited kGroupCommitDelay.
  std::optional<CommitFailure> commit_if_due();
  // Drops the file's pending deletions (its records stay).
  vrx::FileStatus rollback(FileId file);

  // Keeps a file's deletions pending while it lives. Left by an exception,
  // it rolls them back: whatever they rested on was not finished.
  class Hold {
   public:
    Hold(DataFiles& files, FileId file)
        : files_(&files), file_(file), exceptions_(std::uncaught_exceptions()) {
      files.held_[index(file)] = true;
    }
    ~Hold() {
      if (files_ != nullptr && std::uncaught_exceptions() > exceptions_) files_->rollback(file_);
      release();
    }
    Hold(const Hold&) = delete;
    Hold& operator=(const Hold&) = delete;
    void release() {
      if (files_ != nullptr) files_->held_[index(file_)] = false;
      files_ = nullptr;
    }

   private:
    DataFiles* files_;
    FileId file_;
    int exceptions_;
  };
  [[nodiscard]] Hold hold(FileId file) { return Hold(*this, file); }

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
  // When each file's oldest pending deletion was made, if it has one.
  std::array<std::optional<std::chrono::steady_clock::time_point>, kFileCount> pending_since_;
  std::array<bool, kFileCount> held_{};
};

inline constexpr std::chrono::milliseconds kGroupCommitDelay{20};

}  // namespace dravel

#endif  // DATA_DATA_FILES_H_
