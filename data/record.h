// A file's record area and the named fields inside it.
//
// A Field names a run of bytes of a record by offset and length; a Record is
// one area of exactly the file's record length, binary zeros until the first
// read or key assignment. Text fields are space-filled, digit fields hold
// display digits, most significant first.
#ifndef DATA_RECORD_H_
#define DATA_RECORD_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace dravel {

struct Field {
  std::size_t offset;
  std::size_t length;
};

class Record {
 public:
  explicit Record(std::size_t length) : bytes_(length, '\0') {}

  std::size_t length() const { return bytes_.size(); }
  std::span<char> area() { return bytes_; }
  std::span<const char> area() const { return bytes_; }

  std::string_view text(Field f) const { return {bytes_.data() + f.offset, f.length}; }
  // Left-aligned, cut to the field's width, filled out with spaces.
  void set_text(Field f, std::string_view value);
  // Copies exactly the field's width from `value`'s first bytes. Throws
  // (std::out_of_range, std::invalid_argument) rather than touch a byte
  // outside the record or read past a value shorter than the field.
  void set_bytes(Field f, std::string_view value);
  // The field as an unsigned display number; nothing when a byte is not a digit.
  std::optional<std::uint64_t> number(Field f) const;
  // Writes `value` as display digits, zero-filled on the left to the field's
  // width (the leading digits are dropped when it does not fit).
  void set_number(Field f, std::uint64_t value);

 private:
  std::vector<char> bytes_;
};

}  // namespace dravel

#endif  // DATA_RECORD_H_
