// The six indexed files of the stock-control system that this program uses:
// logical names, paths, record lengths, keys and the mode each is opened in.
#ifndef DATA_CATALOGUE_H_
#define DATA_CATALOGUE_H_

#include <array>
#include <cstddef>
#include <span>
#include <string_view>

#include "platform/files/indexed_file.h"

namespace dravel {

// In the order the files are declared and opened.
enum class FileId : std::size_t { paramet, usuario, tabemar, produto, histmov, histval };
inline constexpr std::size_t kFileCount = 6;
inline constexpr std::array<FileId, kFileCount> kAllFiles = {FileId::paramet, FileId::usuario,
                                                             FileId::tabemar, FileId::produto,
                                                             FileId::histmov, FileId::histval};

const vrx::FileDescription& describe(FileId file);
// The mode this program opens the file in.
vrx::OpenMode open_mode(FileId file);
std::span<const vrx::FileDescription> catalogue();
// The description with that logical name, or nullptr.
const vrx::FileDescription* find_file(std::string_view logical_name);

}  // namespace dravel

#endif  // DATA_CATALOGUE_H_
