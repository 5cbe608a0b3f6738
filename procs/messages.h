// The texts PROC-EXC shows, in Windows-1252, exactly as the operator reads
// them. The file texts are built around a 7-character file name and a
// 2-character status.
#ifndef PROCS_MESSAGES_H_
#define PROCS_MESSAGES_H_

#include <string>
#include <string_view>

namespace dravel::text {

// `file` is the 7-character logical name, `status` the 2-character file
// status; the pieces are joined without trimming.
inline std::string arquivo_inexistente(std::string_view file) {
  return "Arquivo " + std::string(file) + " Inexistente !!!";
}
inline std::string arquivo_danificado(std::string_view file, std::string_view status) {
  return "Arquivo " + std::string(file) + " Danificado !!! Erro.: " + std::string(status);
}
inline constexpr std::string_view parametros_sendo_acessado =
    "Arquivo de Par\xE2metros sendo acessado !!!";
inline constexpr std::string_view usuario_sendo_acessado = "Usu\xE1rio sendo acessado !!!";
inline constexpr std::string_view tenta_novamente = "Registro sendo acessado. Tenta novamente ?";
inline constexpr std::string_view marca_nao_selecionada = "Marca n\xE3o selecionada !!!";
inline constexpr std::string_view fim_das_eliminacoes =
    "Fim da Elimina\xE7\xF5"
    "es !!!";

// Shown in Ds_MAR in place of the brand's description.
inline constexpr std::string_view inexistente_em_ds_mar = "*** Inexistente ***";
inline constexpr std::string_view sendo_acessado_em_ds_mar = "*** Sendo Acessado ***";

}  // namespace dravel::text

#endif  // PROCS_MESSAGES_H_
