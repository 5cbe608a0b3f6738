// Fixed-width character fields: N bytes, text left-aligned and filled out
// with spaces. The bytes are Windows-1252 and are never reinterpreted here.
#ifndef PLATFORM_TEXT_FIXED_TEXT_H_
#define PLATFORM_TEXT_FIXED_TEXT_H_

#include <algorithm>
#include <array>
#include <cstddef>
#include <span>
#include <string_view>

namespace vantrexo {

template <std::size_t N>
class FixedText {
 public:
  static constexpr std::size_t width = N;

  // All spaces.
  constexpr FixedText() { bytes_.fill(' '); }
  // The text, cut to N characters, then spaces.
  constexpr explicit FixedText(std::string_view text) { assign(text); }

  // All binary zeros: the state of a field the program has not set yet.
  static constexpr FixedText zeros() {
    FixedText t;
    t.bytes_.fill('\0');
    return t;
  }

  constexpr void assign(std::string_view text) {
    const std::size_t n = std::min(text.size(), N);
    std::copy_n(text.data(), n, bytes_.begin());
    std::fill(bytes_.begin() + static_cast<std::ptrdiff_t>(n), bytes_.end(), ' ');
  }
  constexpr void clear() { bytes_.fill(' '); }

  constexpr std::string_view view() const { return {bytes_.data(), N}; }
  constexpr bool blank() const {
    return std::all_of(bytes_.begin(), bytes_.end(), [](char c) { return c == ' '; });
  }
  // The text without its trailing spaces.
  constexpr std::string_view trimmed() const {
    std::string_view v = view();
    const auto end = v.find_last_not_of(' ');
    return end == std::string_view::npos ? std::string_view{} : v.substr(0, end + 1);
  }

  // Exact comparison with `text` filled out with spaces to N characters:
  // no case folding, no trimming. A longer text never matches.
  constexpr bool holds(std::string_view text) const {
    if (text.size() > N) return false;
    return view().substr(0, text.size()) == text &&
           view().substr(text.size()).find_first_not_of(' ') == std::string_view::npos;
  }

  constexpr std::span<char, N> span() { return std::span<char, N>(bytes_); }
  constexpr std::span<const char, N> span() const { return std::span<const char, N>(bytes_); }
  constexpr char* data() { return bytes_.data(); }
  constexpr const char* data() const { return bytes_.data(); }

  friend constexpr bool operator==(const FixedText&, const FixedText&) = default;

 private:
  std::array<char, N> bytes_{};
};

}  // namespace vantrexo

#endif  // PLATFORM_TEXT_FIXED_TEXT_H_
