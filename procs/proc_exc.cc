#include "procs/proc_exc.h"

namespace dravel {

void ProcExc::run(FormCalls& form) {
  // Whatever way the operation ends, the word is gone. The deletion commits
  // at its own commit points and at its end; should it be thrown out of,
  // what it left pending is committed here, by the same rule.
  struct EndOfCall {
    ProcExc& self;
    ~EndOfCall() {
      self.files_.commit();
      self.w_.w_comando.clear();
    }
  } end_of_call{*this};

  if (w_.w_comando.holds(command::abrar)) {
    open_data_files(form);
  } else if (w_.w_comando.holds(command::lermar)) {
    brand_lookup(form);
  } else if (w_.w_comando.holds(command::exclui)) {
    delete_brand(form);
  }
}

}  // namespace dravel
