// EVENTO-10, Command1's click: the brand search through the lookup
// component. A code typed before is not passed on: LK-CODIGO is blanked
// before the call, so choosing nothing empties Ed_CODIMAR and Ds_MAR.
#include "form/brand_search.h"

#include "common/form_ids.h"
#include "form/event_procedures.h"

namespace dravel {

void EventProcedures::evento_10(FormCalls& form) {
  areas_.set_lk_tabela(lookup::brand_table);
  areas_.set_lk_codigo("   ");
  form.call_form(lookup::form_name, lookup::module_file);
  form.set_text(table::ed_codimar, ControlText(areas_.lk_codigo().view()));
  issue(form, command::lermar);
  form.set_focus(table::ed_codimar);
}

}  // namespace dravel
