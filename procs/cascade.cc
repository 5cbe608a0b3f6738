// The deletion cascade ("EXCLUI"): for the brand typed in Ed_CODIMAR, every
// product of the brand in the order of the brand key, each followed by its
// value-history and then its movement-history records. Nothing is counted
// and nothing is undone: each record is deleted when the run reaches it, and
// made durable at the commit points (see DataFiles for the rule). A failed
// Delete or commit is shown as a damaged file and ends the run.
#include "common/form_ids.h"
#include "data/record_layouts.h"
#include "procs/messages.h"
#include "procs/proc_exc.h"

namespace dravel {
namespace {

// Product codes compare as numbers when both fields hold digits only, else
// byte for byte.
bool same_product(const Record& a, Field fa, const Record& b, Field fb) {
  const auto na = a.number(fa);
  const auto nb = b.number(fb);
  if (na && nb) return *na == *nb;
  return a.text(fa) == b.text(fb);
}

}  // namespace

ProcExc::Next ProcExc::read_next(FormCalls& form, FileId file) {
  for (;;) {
    const vrx::FileStatus s = files_.read_next(file);
    if (s.at_end()) return Next::end_of_pass;
    if (w_.w_status.holds("99")) {
      if (!locked_record_prompt(form)) return Next::failed;
      if (w_.w_resposta == box::no) return Next::end_of_run;
      continue;
    }
    if (w_.w_status.holds("00")) return Next::record;
    // Any other failure: the record area holds nothing to act on, and
    // reading again would fail again.
    report_damaged(form, file);
    return Next::failed;
  }
}

bool ProcExc::delete_record(FormCalls& form, FileId file) {
  const vrx::FileStatus s = files_.remove(file);
  if (s.ok()) return commit(form, true);
  if (s.locked() || s.not_found()) return true;
  report_damaged(form, file);
  return false;
}

ProcExc::Next ProcExc::delete_histories(FormCalls& form, FileId file) {
  namespace history = layout::history;
  const Record& produto = files_.record(FileId::produto);
  Record& historico = files_.record(file);

  historico.set_bytes(history::codipro, produto.text(layout::produto::pro_codipro));
  historico.set_text(history::compl_1, "00000000");
  historico.set_text(history::compl_2, "0000");
  historico.set_text(history::compl_3, "00");
  historico.set_text(history::compl_4, "0");
  if (files_.start(file, 0).invalid_key()) return Next::end_of_pass;
  for (;;) {
    if (const Next next = read_next(form, file); next != Next::record) return next;
    files_.unlock(file);
    if (!same_product(historico, history::codipro, produto, layout::produto::pro_codipro)) {
      return Next::end_of_pass;
    }
    if (!delete_record(form, file)) return Next::failed;
  }
}

void ProcExc::delete_brand(FormCalls& form) {
  using layout::produto::brand_key;
  using layout::produto::pro_codimar;
  using layout::produto::pro_compl_marca;
  using layout::produto::pro_descpro;
  Record& produto = files_.record(FileId::produto);

  // The brand must be one that TABEMAR holds.
  areas_.set_lk_codigo(form.get_text(table::ed_codimar).view().substr(0, 3));
  brand_lookup(form);
  if (w_.w_marca_ok.holds("N")) {
    show_message(form, text::marca_nao_selecionada, box::exclamation_ok);
    return;
  }

  produto.set_text(pro_compl_marca, "000000");
  produto.set_bytes(pro_codimar, form.get_text(table::ed_codimar).view());
  if (!files_.start(FileId::produto, brand_key).invalid_key()) {
    for (;;) {
      if (read_next(form, FileId::produto) != Next::record) break;
      files_.unlock(FileId::produto);
      // The whole text of the field must be the product's brand: the first
      // product of another brand, or a text longer than a code, ends the run.
      if (!form.get_text(table::ed_codimar).holds(produto.text(pro_codimar))) break;
      form.set_caption(table::frm_dsp, produto.text(pro_descpro));
      form.refresh(table::frm_dsp);
      // The product's deletion stays pending until its histories' deletions
      // are committed: a run that stops in between, however it stops, never
      // leaves history records of a deleted product behind.
      DataFiles::Hold product = files_.hold(FileId::produto);
      if (!delete_record(form, FileId::produto)) break;
      Next pass = delete_histories(form, FileId::histval);
      if (pass == Next::end_of_pass) pass = delete_histories(form, FileId::histmov);
      if (pass == Next::failed) {
        // Its histories are not all deleted: the product stays.
        files_.rollback(FileId::produto);
        break;
      }
      if (pass == Next::end_of_run) break;  // No: the run ends, the product deleted
      product.release();
      if (!commit(form, true)) break;
    }
  }
  // The end of the run is a commit point (after a failure too, for the
  // deletions it left sound); a failing commit is shown before the end.
  commit(form);

  form.set_caption(table::frm_dsp, "");
  form.refresh(table::frm_dsp);
  show_message(form, text::fim_das_eliminacoes, box::exclamation_ok);
}

}  // namespace dravel
