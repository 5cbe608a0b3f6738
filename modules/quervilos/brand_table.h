// The brand table TABEMAR as the lookup lists it: every brand in the order of
// its description (alternate key 1), read through the indexed file engine
// opened for input. Reading for a list takes no record: a brand another
// program holds locked is listed all the same.
//
// Threading: any one thread at a time.
#ifndef MODULES_QUERVILOS_BRAND_TABLE_H_
#define MODULES_QUERVILOS_BRAND_TABLE_H_

#include <filesystem>
#include <string>
#include <vector>

#include "platform/files/indexed_file.h"

namespace quervilos {

// TABEMAR: 31-byte records; code (0, 3) the primary key, description (3, 25),
// alternate key 1 (3, 28) without duplicates.
const vrx::FileDescription& tabemar_description();

struct Brand {
  std::string code;         // 3 bytes, Windows-1252, as the file holds it
  std::string description;  // Windows-1252, trailing spaces removed
};

struct BrandList {
  std::vector<Brand> brands;
  // Empty when the whole table was read; else, for the list's message line,
  // what went wrong (UTF-8), with the file status.
  std::string message;
};

// Reads TABEMAR under `drive` (the folder the catalogue's leading backslash
// stands for).
BrandList read_brands(const std::filesystem::path& drive);

// The message line's text for a failed operation on TABEMAR (UTF-8).
std::string status_message(const vrx::FileStatus& status);

}  // namespace quervilos

#endif  // MODULES_QUERVILOS_BRAND_TABLE_H_
