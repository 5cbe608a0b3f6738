#include "procs/proc_exc.h"

namespace dravel {

void ProcExc::run(FormCalls& form) {
  // Whatever way the operation ends (at its last step, early after a file
  // error, or thrown out of), what it deleted is made durable and the word
  // is gone.
  struct EndOfCall {
    ProcExc& self;
    ~EndOfCall() {
      self.files_.commit_all();
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
