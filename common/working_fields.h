// The program-wide working fields shared by the event procedures and
// PROC-EXC, kept from event to event for the whole run, and the process
// areas the program attaches with the fields it uses in them.
//
// Threading: used only from the form runtime's user-interface thread.
#ifndef COMMON_WORKING_FIELDS_H_
#define COMMON_WORKING_FIELDS_H_

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "platform/shared_areas.h"
#include "platform/text/fixed_text.h"

namespace dravel {

using vantrexo::FixedText;

struct WorkingFields {
  FixedText<15> w_comando;      // command word for PROC-EXC; spaces after every call
  FixedText<2> w_status{"00"};  // status of the last file operation, any file
  FixedText<7> w_arquivo;       // logical name of the file the status check reports on
  FixedText<120> w_mensagem;    // text of the next message box
  std::int32_t w_estilo = 0;    // style of the next message box
  std::int32_t w_resposta = 0;  // button chosen in the last locked-record prompt
  FixedText<1> w_marca_ok;      // "N" no brand read, " " brand read
  FixedText<1> w_enter = FixedText<1>::zeros();  // "E" Enter acts as Tab, "T" left alone
};

namespace link {
inline constexpr std::size_t lk_tabela_offset = 19, lk_tabela_width = 3;
inline constexpr std::size_t lk_codigo_offset = 22, lk_codigo_width = 3;
inline constexpr std::size_t lk_usuario_offset = 312, lk_usuario_width = 20;
inline constexpr std::size_t link_emp_marker_width = 4;
}  // namespace link

// The fifteen process areas, in declaration order. Every span is empty until
// the one-time set-up has attached it; the field accessors below then read
// spaces and write nothing, so no access ever leaves an area.
struct SharedAreas {
  std::span<char> w_versao, w_ctrlote, l_acessos, l_codicli, l_codifor, l_codiven, l_codired,
      l_link, l_link_emp, l_formularios, l_dados_email, w_campos_nfe, l_acessos_2, l_dados_email2,
      l_codiemp;

  // LK-CODIGO: the brand code being worked on.
  FixedText<link::lk_codigo_width> lk_codigo() const;
  void set_lk_codigo(std::string_view code);
  // LK-TABELA: the table the lookup component is to search; never read here.
  void set_lk_tabela(std::string_view table);
  // LK-USUARIO: the operator's user name; never written by this program.
  FixedText<link::lk_usuario_width> lk_usuario() const;
  // "0000" into the first four characters of L-LINK-EMP: the start failed.
  void mark_failed_start();
};

// Attaches the fifteen areas of the process, in declaration order, with
// their names and sizes.
void attach_shared_areas(vantrexo::SharedAreaRegistry& registry, SharedAreas& areas);

}  // namespace dravel

#endif  // COMMON_WORKING_FIELDS_H_
