// Opening the data files ("ABRAR") with the status check after each open,
// and closing them when the form closes.
#include <string>

#include "common/form_ids.h"
#include "data/record_layouts.h"
#include "procs/messages.h"
#include "procs/proc_exc.h"

namespace dravel {

bool ProcExc::open_data_files(FormCalls& form) {
  for (FileId file : kAllFiles) {
    files_.open(file);
    w_.w_arquivo.assign(describe(file).name);
    if (!check_status(form)) return false;
    // The parameter and user files serve only the check.
    if (file == FileId::paramet || file == FileId::usuario) files_.close(file);
  }
  return true;
}

bool ProcExc::check_status(FormCalls& form) {
  w_.w_mensagem.clear();
  const bool paramet = w_.w_arquivo.holds("PARAMET");
  const bool usuario = w_.w_arquivo.holds("USUARIO");
  if (w_.w_status.holds("00") && !paramet && !usuario) return true;

  std::string message;
  if (w_.w_status.holds("35")) {
    message = text::arquivo_inexistente(w_.w_arquivo.view());
  } else if (!w_.w_status.holds("00")) {
    message = text::arquivo_danificado(w_.w_arquivo.view(), w_.w_status.view());
  } else if (paramet) {
    files_.record(FileId::paramet).set_text(layout::paramet::par_chave, "1");
    files_.read(FileId::paramet);
    if (!w_.w_status.holds("99")) return true;
    message = text::parametros_sendo_acessado;
    files_.close(FileId::paramet);
  } else {
    files_.record(FileId::usuario).set_bytes(layout::usuario::usu_nome, areas_.lk_usuario().view());
    files_.read(FileId::usuario);
    if (!w_.w_status.holds("99")) return true;
    message = text::usuario_sendo_acessado;
    files_.close(FileId::usuario);
  }

  show_message(form, message, box::stop_ok);
  form.close_form();
  areas_.mark_failed_start();
  return false;
}

void close_data_files(DataFiles& files) {
  files.close(FileId::tabemar);
  files.close(FileId::produto);
  files.close(FileId::histmov);
  files.close(FileId::histval);
}

}  // namespace dravel
