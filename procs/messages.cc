// The message boxes of PROC-EXC and the locked-record prompt.
#include "procs/messages.h"

#include <string>

#include "procs/proc_exc.h"

namespace dravel {

void ProcExc::show_message(FormCalls& form, std::string_view text, std::int32_t style) {
  w_.w_mensagem.assign(text);
  w_.w_estilo = style;
  // What the operator is about to be told has happened is on disk.
  files_.commit_all();
  form.message_box(w_.w_mensagem.view(), w_.w_estilo, false);
}

void ProcExc::locked_record_prompt(FormCalls& form) {
  w_.w_estilo = box::question_yes_no;
  w_.w_mensagem.assign(text::tenta_novamente);
  // The deletions so far are made durable, and their locks released, before
  // the run waits for the operator.
  files_.commit_all();
  w_.w_resposta = form.message_box(w_.w_mensagem.view(), w_.w_estilo, true);
}

void ProcExc::report_damaged(FormCalls& form, FileId file) {
  const FixedText<7> name(describe(file).name);
  show_message(form, text::arquivo_danificado(name.view(), w_.w_status.view()), box::stop_ok);
}

}  // namespace dravel
