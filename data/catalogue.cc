#include "data/catalogue.h"

#include <vector>

#include "data/record_layouts.h"

namespace dravel {
namespace {

const std::vector<vrx::FileDescription>& all() {
  static const std::vector<vrx::FileDescription> files = {
      {"PARAMET",
       "\\VantrexoSistemica\\ORV\\Arquivos\\PARAMET.VRX",
       layout::paramet::record_length,
       {{0, 1, false}}},
      {"USUARIO",
       "\\VantrexoSistemica\\ORV\\Arquivos\\USUARIO.VRX",
       layout::usuario::record_length,
       {{0, 20, false}}},
      {"TABEMAR",
       "\\VantrexoSistemica\\ORV\\Arquivos\\TABEMAR.VRX",
       layout::tabemar::record_length,
       {{0, 3, false}, {3, 28, false}}},
      {"PRODUTO",
       "\\VantrexoSistemica\\ORV\\Arquivos\\PRODUTO.VRX",
       layout::produto::record_length,
       {{0, 6, false}, {6, 18, true}, {24, 18, true}, {42, 46, true}, {88, 9, true}}},
      {"HISTMOV",
       "\\VantrexoSistemica\\ORV\\Arquivos\\HISTMOV.VRX",
       layout::histmov::record_length,
       {{0, 21, false}, {21, 55, true}}},
      {"HISTVAL",
       "\\VantrexoSistemica\\ORV\\Arquivos\\HISTVAL.VRX",
       layout::histval::record_length,
       {{0, 21, false}}},
  };
  return files;
}

}  // namespace

const vrx::FileDescription& describe(FileId file) { return all()[static_cast<std::size_t>(file)]; }

vrx::OpenMode open_mode(FileId file) {
  switch (file) {
    case FileId::produto:
    case FileId::histmov:
    case FileId::histval:
      return vrx::OpenMode::input_output;
    default:
      return vrx::OpenMode::input;
  }
}

std::span<const vrx::FileDescription> catalogue() { return all(); }

const vrx::FileDescription* find_file(std::string_view logical_name) {
  for (const auto& d : all()) {
    if (d.name == logical_name) return &d;
  }
  return nullptr;
}

}  // namespace dravel
