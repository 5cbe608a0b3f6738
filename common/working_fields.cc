#include "common/working_fields.h"

#include <algorithm>
#include <array>

namespace dravel {
namespace {

template <std::size_t N>
FixedText<N> read_field(std::span<const char> area, std::size_t offset) {
  if (area.size() < offset + N) return FixedText<N>();
  return FixedText<N>(std::string_view(area.data() + offset, N));
}

// Writes `text` cut or space-filled to `width` characters.
void write_field(std::span<char> area, std::size_t offset, std::size_t width,
                 std::string_view text) {
  if (area.size() < offset + width) return;
  const std::size_t n = std::min(text.size(), width);
  auto first = area.begin() + static_cast<std::ptrdiff_t>(offset);
  std::copy_n(text.begin(), n, first);
  std::fill(first + static_cast<std::ptrdiff_t>(n), first + static_cast<std::ptrdiff_t>(width),
            ' ');
}

}  // namespace

FixedText<link::lk_codigo_width> SharedAreas::lk_codigo() const {
  return read_field<link::lk_codigo_width>(l_link, link::lk_codigo_offset);
}

void SharedAreas::set_lk_codigo(std::string_view code) {
  write_field(l_link, link::lk_codigo_offset, link::lk_codigo_width, code);
}

void SharedAreas::set_lk_tabela(std::string_view table) {
  write_field(l_link, link::lk_tabela_offset, link::lk_tabela_width, table);
}

FixedText<link::lk_usuario_width> SharedAreas::lk_usuario() const {
  return read_field<link::lk_usuario_width>(l_link, link::lk_usuario_offset);
}

void SharedAreas::mark_failed_start() {
  write_field(l_link_emp, 0, link::link_emp_marker_width, "0000");
}

void attach_shared_areas(vantrexo::SharedAreaRegistry& registry, SharedAreas& areas) {
  const std::array<vantrexo::AreaRequest, 15> table = {{
      {&areas.w_versao, "W-VERSAO", 10},
      {&areas.w_ctrlote, "W-CTRLOTE", 1},
      {&areas.l_acessos, "L-ACESSOS", 10},
      {&areas.l_codicli, "L-CODICLI", 6},
      {&areas.l_codifor, "L-CODIFOR", 6},
      {&areas.l_codiven, "L-CODIVEN", 6},
      {&areas.l_codired, "L-CODIRED", 6},
      {&areas.l_link, "L-LINK", 332},
      {&areas.l_link_emp, "L-LINK-EMP", 99},
      {&areas.l_formularios, "L-FORMULARIOS", 96},
      {&areas.l_dados_email, "L-DADOS-EMAIL", 541},
      {&areas.w_campos_nfe, "W-CAMPOS-NFE", 486},
      {&areas.l_acessos_2, "L-ACESSOS-2", 1},
      {&areas.l_dados_email2, "L-DADOS-EMAIL2", 55},
      {&areas.l_codiemp, "L-CODIEMP", 6},
  }};
  vantrexo::attach_areas(registry, table);
}

}  // namespace dravel
