#include "data/record.h"

#include <algorithm>
#include <cassert>
#include <stdexcept>

namespace dravel {

void Record::set_text(Field f, std::string_view value) {
  assert(f.offset + f.length <= bytes_.size());
  const std::size_t n = std::min(value.size(), f.length);
  auto first = bytes_.begin() + static_cast<std::ptrdiff_t>(f.offset);
  std::copy_n(value.data(), n, first);
  std::fill(first + static_cast<std::ptrdiff_t>(n), first + static_cast<std::ptrdiff_t>(f.length),
            ' ');
}

void Record::set_bytes(Field f, std::string_view value) {
  if (f.offset > bytes_.size() || f.length > bytes_.size() - f.offset) {
    throw std::out_of_range("field outside the record");
  }
  if (value.size() < f.length) throw std::invalid_argument("value shorter than the field");
  std::copy_n(value.data(), f.length, bytes_.begin() + static_cast<std::ptrdiff_t>(f.offset));
}

std::optional<std::uint64_t> Record::number(Field f) const {
  std::uint64_t value = 0;
  for (char c : text(f)) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
  }
  return value;
}

void Record::set_number(Field f, std::uint64_t value) {
  assert(f.offset + f.length <= bytes_.size());
  for (std::size_t i = f.length; i-- > 0;) {
    bytes_[f.offset + i] = static_cast<char>('0' + value % 10);
    value /= 10;
  }
}

}  // namespace dravel
