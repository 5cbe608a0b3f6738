// The brand lookup ("LERMAR"): reads the brand whose code is in LK-CODIGO
// and shows its description, or a notice in its place, in Ds_MAR.
#include "common/form_ids.h"
#include "data/record_layouts.h"
#include "procs/messages.h"
#include "procs/proc_exc.h"

namespace dravel {

void ProcExc::brand_lookup(FormCalls& form) {
  using layout::tabemar::mar_codimar;
  using layout::tabemar::mar_descmar;
  Record& marca = files_.record(FileId::tabemar);

  w_.w_marca_ok.assign("N");
  const FixedText<link::lk_codigo_width> code = areas_.lk_codigo();
  if (code.blank()) {
    marca.set_text(mar_descmar, "");
  } else {
    marca.set_bytes(mar_codimar, code.view());
    files_.read(FileId::tabemar);
    if (w_.w_status.holds("23")) marca.set_text(mar_descmar, text::inexistente_em_ds_mar);
    if (w_.w_status.holds("99")) marca.set_text(mar_descmar, text::sendo_acessado_em_ds_mar);
    if (w_.w_status.holds("00")) w_.w_marca_ok.assign(" ");
    files_.unlock(FileId::tabemar);
  }
  form.set_text(table::ds_mar, ControlText(marca.text(mar_descmar)));
}

}  // namespace dravel
