// Windows-1252, the code page of every text in the data files and on the
// form, converted to and from UTF-8 in this one place.
#ifndef PLATFORM_TEXT_CP1252_H_
#define PLATFORM_TEXT_CP1252_H_

#include <optional>
#include <string>
#include <string_view>

namespace vantrexo {

// Every byte converts. The five bytes that Windows-1252 leaves undefined
// (0x81, 0x8D, 0x8F, 0x90, 0x9D) become the C1 control of the same value.
std::string cp1252_to_utf8(std::string_view cp1252);

// Nothing when the text is not valid UTF-8 or holds a character that
// Windows-1252 cannot show.
std::optional<std::string> utf8_to_cp1252(std::string_view utf8);

}  // namespace vantrexo

#endif  // PLATFORM_TEXT_CP1252_H_
