// The message boxes of PROC-EXC and the locked-record prompt.
#include "procs/messages.h"

#include <string>

#include "procs/proc_exc.h"

namespace dravel {

void ProcExc::show_message(FormCalls& form, std::string_view text, std::int32_t style) {
  w_.w_mensagem.assign(text);
  w_.w_estilo = style;
  form.message_box(w_.w_mensagem.view(), w_.w_estilo, false);
}

bool ProcExc::locked_record_prompt(FormCalls& form) {
  // The deletions so far are made durable, and their locks released, before
  // the run waits for the operator (all but a held product's own deletion,
  // whose histories are not all deleted yet).
  if (!commit(form)) return false;
  w_.w_estilo = box::question_yes_no;
  w_.w_mensagem.assign(text::tenta_novamente);
  w_.w_resposta = form.message_box(w_.w_mensagem.view(), w_.w_estilo, true);
  return true;
}

bool ProcExc::commit(FormCalls& form, bool only_when_due) {
  const auto failure = only_when_due ? files_.commit_if_due() : files_.commit();
  if (!failure) return true;
  w_.w_status.assign(failure->status.code());
  report_damaged(form, failure->file);
  return false;
}

void ProcExc::report_damaged(FormCalls& form, FileId file) {
  const FixedText<7> name(describe(file).name);
  show_message(form, text::arquivo_danificado(name.view(), w_.w_status.view()), box::stop_ok);
}

}  // namespace dravel
