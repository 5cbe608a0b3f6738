// The program-wide working fields shared by the event procedures and
// PROC-EXC, kept from event to event for the whole run.
#ifndef APP_WORKING_FIELDS_H_
#define APP_WORKING_FIELDS_H_

#include <cstdint>
#include <span>

#include "platform/text/fixed_text.h"

namespace dravel {

using vantrexo::FixedText;

struct WorkingFields {
  FixedText<15> w_comando;   // command word for PROC-EXC; spaces after every call
  FixedText<2> w_status{"00"};  // status of the last file operation, any file
  FixedText<7> w_arquivo;    // logical name of the file the status check reports on
  FixedText<120> w_mensagem;  // text of the next message box
  std::int32_t w_estilo = 0;   // style of the next message box
  std::int32_t w_resposta = 0;  // button chosen in the last locked-record prompt
  FixedText<1> w_marca_ok;   // "N" no brand read, " " brand read
  FixedText<1> w_enter = FixedText<1>::zeros();  // "E" Enter acts as Tab, "T" left alone
};

// The process areas this program attaches, in declaration order, and the
// fields it uses in them.
struct SharedAreas {
  std::span<char> w_versao, w_ctrlote, l_acessos, l_codicli, l_codifor, l_codiven, l_codired,
      l_link, l_link_emp, l_formularios, l_dados_email, w_campos_nfe, l_acessos_2,
      l_dados_email2, l_codiemp;
  bool attached = false;
};

namespace link {
inline constexpr std::size_t lk_tabela_offset = 19, lk_tabela_width = 3;
inline constexpr std::size_t lk_codigo_offset = 22, lk_codigo_width = 3;
inline constexpr std::size_t lk_usuario_offset = 312, lk_usuario_width = 20;
}  // namespace link

}  // namespace dravel

#endif  // APP_WORKING_FIELDS_H_
