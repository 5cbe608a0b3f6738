#include "platform/text/cp1252.h"

#include <array>
#include <cstdint>

namespace vantrexo {
namespace {

// Code points of 0x80..0x9F; the rest of the code page is Latin-1.
constexpr std::array<char32_t, 32> kHigh = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char32_t code_point(unsigned char b) { return b >= 0x80 && b < 0xA0 ? kHigh[b - 0x80] : b; }

void append_utf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

std::optional<unsigned char> byte_for(char32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<unsigned char>(cp);
  for (std::size_t i = 0; i < kHigh.size(); ++i) {
    if (kHigh[i] == cp) return static_cast<unsigned char>(0x80 + i);
  }
  return std::nullopt;
}

}  // namespace

std::string cp1252_to_utf8(std::string_view cp1252) {
  std::string out;
  out.reserve(cp1252.size());
  for (char c : cp1252) append_utf8(out, code_point(static_cast<unsigned char>(c)));
  return out;
}

std::optional<std::string> utf8_to_cp1252(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size();) {
    const auto b0 = static_cast<unsigned char>(utf8[i]);
    char32_t cp = 0;
    std::size_t len = 0;
    if (b0 < 0x80) {
      cp = b0, len = 1;
    } else if ((b0 & 0xE0) == 0xC0) {
      cp = b0 & 0x1F, len = 2;
    } else if ((b0 & 0xF0) == 0xE0) {
      cp = b0 & 0x0F, len = 3;
    } else if ((b0 & 0xF8) == 0xF0) {
      cp = b0 & 0x07, len = 4;
    } else {
      return std::nullopt;
    }
    if (i + len > utf8.size()) return std::nullopt;
    for (std::size_t k = 1; k < len; ++k) {
      const auto b = static_cast<unsigned char>(utf8[i + k]);
      if ((b & 0xC0) != 0x80) return std::nullopt;
      cp = (cp << 6) | (b & 0x3F);
    }
    // Overlong forms do not name a character.
    constexpr std::array<char32_t, 5> kMin = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < kMin[len]) return std::nullopt;
    const auto byte = byte_for(cp);
    if (!byte) return std::nullopt;
    out += static_cast<char>(*byte);
    i += len;
  }
  return out;
}

}  // namespace vantrexo
