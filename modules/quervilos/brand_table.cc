#include "modules/quervilos/brand_table.h"

#include <sstream>
#include <string_view>

#include "platform/files/sqlite_store.h"

namespace quervilos {
namespace {

constexpr std::size_t kRecordLength = 31;
constexpr std::size_t kCodeWidth = 3;
constexpr std::size_t kDescriptionOffset = 3;
constexpr std::size_t kDescriptionWidth = 25;
constexpr std::size_t kDescriptionKey = 1;

Brand brand_of(std::string_view record) {
  std::string_view description = record.substr(kDescriptionOffset, kDescriptionWidth);
  const auto end = description.find_last_not_of(' ');
  description = end == std::string_view::npos ? std::string_view{} : description.substr(0, end + 1);
  return {std::string(record.substr(0, kCodeWidth)), std::string(description)};
}

// The whole table in description order without testing any record lock: the
// engine's input mode reports a locked record as "99" and does not move past
// it, which suits a program that reads one brand, not a list of them all.
BrandList read_without_locks(const std::filesystem::path& drive) {
  const vrx::FileDescription& d = tabemar_description();
  std::ostringstream out;
  const vrx::AdminResult dumped =
      vrx::dump_records(vrx::map_catalogue_path(d.catalogue_path, drive), d, kDescriptionKey, out);
  if (!dumped.ok) return {{}, status_message(vrx::FileStatus::record_locked())};
  const std::string all = std::move(out).str();
  BrandList list;
  for (std::size_t at = 0; at + kRecordLength <= all.size(); at += kRecordLength) {
    list.brands.push_back(brand_of(std::string_view(all).substr(at, kRecordLength)));
  }
  return list;
}

}  // namespace

const vrx::FileDescription& tabemar_description() {
  static const vrx::FileDescription d = {"TABEMAR",
                                         "\\VantrexoSistemica\\ORV\\Arquivos\\TABEMAR.VRX",
                                         kRecordLength,
                                         {{0, kCodeWidth, false}, {kDescriptionOffset, 28, false}}};
  return d;
}

std::string status_message(const vrx::FileStatus& status) {
  std::string_view what;
  const std::string_view code = status.code();
  if (code == "35") {
    what = "arquivo inexistente";
  } else if (code == "30") {
    what = "arquivo danificado";
  } else if (code == "37") {
    what = "sem permissão de acesso";
  } else if (code == "39") {
    what = "arquivo incompatível";
  } else if (code == "99") {
    what = "em uso por outro programa";
  } else {
    what = "erro de leitura";
  }
  return "TABEMAR: " + std::string(what) + " (status " + std::string(code) + ")";
}

BrandList read_brands(const std::filesystem::path& drive) {
  vrx::SqliteFileStore store(drive);
  vrx::OpenResult opened = store.open(tabemar_description(), vrx::OpenMode::input);
  if (!opened.status.ok()) return {{}, status_message(opened.status)};
  vrx::IndexedFile& file = *opened.file;

  BrandList list;
  std::string record(kRecordLength, '\0');  // low values: before every description
  vrx::FileStatus status = file.start(kDescriptionKey, record);
  if (status.invalid_key()) {
    file.close();
    return list;  // no brands
  }
  while (status.ok()) {
    status = file.read_next(record);
    if (status.ok()) list.brands.push_back(brand_of(record));
  }
  file.close();
  if (status.at_end()) return list;
  if (status.locked()) return read_without_locks(drive);
  list.message = status_message(status);
  return list;
}

}  // namespace quervilos
