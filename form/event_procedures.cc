#include "form/event_procedures.h"

#include "common/form_ids.h"

namespace dravel {

void EventProcedures::issue(FormCalls& form, std::string_view word) {
  w_.w_comando.assign(word);
  form.guard().run(Procedure::proc_exc, "PROC-EXC", [&] { proc_exc_.run(form); });
}

void EventProcedures::evento_1(std::int16_t& key_code, std::int16_t& /*shift*/) {
  if (key_code == key::enter && w_.w_enter.holds("E")) key_code = key::tab;
}

void EventProcedures::evento_2(FormCalls& form) {
  w_.w_enter.assign("E");
  issue(form, command::abrar);
}

void EventProcedures::evento_3(FormCalls& /*form*/) { close_data_files(files_); }

void EventProcedures::evento_4(FormCalls& form) {
  const ControlText code = form.get_text(table::ed_codimar);
  areas_.set_lk_codigo(code.view().substr(0, link::lk_codigo_width));
  issue(form, command::lermar);
}

void EventProcedures::evento_5(FormCalls& /*form*/) { w_.w_enter.assign("E"); }

void EventProcedures::evento_6(FormCalls& /*form*/) { w_.w_enter.assign("T"); }

void EventProcedures::evento_7(FormCalls& form) { issue(form, command::exclui); }

void EventProcedures::evento_8(FormCalls& /*form*/) { w_.w_enter.assign("E"); }

void EventProcedures::evento_9(FormCalls& /*form*/) { w_.w_enter.assign("T"); }

}  // namespace dravel
