// The event procedures EVENTO-1 to EVENTO-10 that the routing entry runs for
// the form's key-down, opened and closed events and for the focus and click
// events of Ed_CODIMAR, Bt_EXC and Command1. They keep the Enter-as-Tab
// switch W-ENTER, take the brand code out of Ed_CODIMAR into LK-CODIGO, and
// leave the data work to PROC-EXC by issuing a command word. EVENTO-10, the
// brand search through the lookup component, is in brand_search.cc.
//
// Threading: the user-interface thread only, one procedure at a time.
#ifndef FORM_EVENT_PROCEDURES_H_
#define FORM_EVENT_PROCEDURES_H_

#include <cstdint>
#include <string_view>

#include "common/form_calls.h"
#include "common/working_fields.h"
#include "data/data_files.h"
#include "procs/proc_exc.h"

namespace dravel {

// Windows virtual-key codes.
namespace key {
inline constexpr std::int16_t tab = 9;
inline constexpr std::int16_t enter = 13;
}  // namespace key

class EventProcedures {
 public:
  EventProcedures(WorkingFields& fields, SharedAreas& areas, DataFiles& files, ProcExc& proc_exc)
      : w_(fields), areas_(areas), files_(files), proc_exc_(proc_exc) {}
  EventProcedures(const EventProcedures&) = delete;
  EventProcedures& operator=(const EventProcedures&) = delete;

  // Form key down: Enter becomes Tab while W-ENTER is "E". The modifier
  // state is not looked at.
  void evento_1(std::int16_t& key_code, std::int16_t& shift);
  // Form opened: W-ENTER "E", then "ABRAR".
  void evento_2(FormCalls& form);
  // Form closed: closes the data files.
  void evento_3(FormCalls& form);
  // Ed_CODIMAR lost focus: its code into LK-CODIGO, then "LERMAR".
  void evento_4(FormCalls& form);
  // Bt_EXC lost focus / got focus / click ("EXCLUI").
  void evento_5(FormCalls& form);
  void evento_6(FormCalls& form);
  void evento_7(FormCalls& form);
  // Command1 lost focus / got focus.
  void evento_8(FormCalls& form);
  void evento_9(FormCalls& form);
  // Command1 click: the brand search through the lookup component.
  void evento_10(FormCalls& form);

 private:
  // Issues a command: the word into W-COMANDO, then PROC-EXC as a guarded
  // call.
  void issue(FormCalls& form, std::string_view word);

  WorkingFields& w_;
  SharedAreas& areas_;
  DataFiles& files_;
  ProcExc& proc_exc_;
};

}  // namespace dravel

#endif  // FORM_EVENT_PROCEDURES_H_
