// The outcome of one operation on an indexed file: a two-character file
// status ("00", "23", "99", ...) plus, for Start and Read next, whether the
// invalid-key or the at-end condition arose. Operations never throw; every
// outcome is one of these values, and the caller decides what to do with it.
//
// Status values produced by the engine:
//   "00" success
//   "10" Read next found no further record            (condition at_end)
//   "22" a record with that primary or unique key exists (loading only)
//   "23" no record with that key; Start found none     (Start: invalid_key)
//   "30" permanent error: file damaged, not a database, I/O error, disk full
//   "35" Open: the file does not exist
//   "37" Open: a directory, no permission, or input-output on a read-only file
//   "39" Open: a valid database that is not an indexed file of ours, or whose
//        record length or keys differ from the catalogue
//   "41" Open: the file is already open on this handle
//   "42" Close: the file is not open
//   "46" Read next without a valid position (no Start, or after the end)
//   "47" Read, Start, Read next, Unlock, Commit or Rollback on a file not open
//   "49" Delete on a file that is not open, or open for input only
//   "99" the record is locked by another program (or the database itself
//        stays locked by another program beyond the busy timeout)
#ifndef PLATFORM_FILES_FILE_STATUS_H_
#define PLATFORM_FILES_FILE_STATUS_H_

#include <cstdint>
#include <string_view>

namespace vrx {

enum class Condition : std::uint8_t { none, invalid_key, at_end };

class FileStatus {
 public:
  // "00", no condition.
  constexpr FileStatus() = default;
  // Precondition: code has exactly two characters.
  constexpr FileStatus(std::string_view code, Condition condition = Condition::none)
      : code_{code.size() > 0 ? code[0] : '?', code.size() > 1 ? code[1] : '?'},
        condition_(condition) {}

  static constexpr FileStatus success() { return FileStatus(); }
  static constexpr FileStatus at_end_of_file() { return {"10", Condition::at_end}; }
  static constexpr FileStatus duplicate_key() { return {"22"}; }
  static constexpr FileStatus no_record() { return {"23"}; }
  static constexpr FileStatus no_record_to_start() { return {"23", Condition::invalid_key}; }
  static constexpr FileStatus damaged() { return {"30"}; }
  static constexpr FileStatus missing_file() { return {"35"}; }
  static constexpr FileStatus no_permission() { return {"37"}; }
  static constexpr FileStatus conflicting_file() { return {"39"}; }
  static constexpr FileStatus already_open() { return {"41"}; }
  static constexpr FileStatus not_open_to_close() { return {"42"}; }
  static constexpr FileStatus no_position() { return {"46"}; }
  static constexpr FileStatus not_open() { return {"47"}; }
  static constexpr FileStatus not_open_for_update() { return {"49"}; }
  static constexpr FileStatus record_locked() { return {"99"}; }

  constexpr std::string_view code() const { return {code_, 2}; }
  constexpr Condition condition() const { return condition_; }

  constexpr bool ok() const { return code() == "00"; }
  constexpr bool locked() const { return code() == "99"; }
  constexpr bool not_found() const { return code() == "23"; }
  constexpr bool at_end() const { return condition_ == Condition::at_end; }
  constexpr bool invalid_key() const { return condition_ == Condition::invalid_key; }

  friend constexpr bool operator==(const FileStatus& a, const FileStatus& b) {
    return a.code() == b.code() && a.condition_ == b.condition_;
  }

 private:
  char code_[2] = {'0', '0'};
  Condition condition_ = Condition::none;
};

}  // namespace vrx

#endif  // PLATFORM_FILES_FILE_STATUS_H_
