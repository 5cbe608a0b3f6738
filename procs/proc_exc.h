// PROC-EXC, the procedure program: runs the operation named by the command
// word in W-COMANDO ("ABRAR" opens and checks the data files, "LERMAR" looks
// the brand up, "EXCLUI" deletes the brand's products with their histories)
// and clears the word. Everything passes through the shared working fields,
// the shared process areas and the record areas of the files; the form is
// reached through the FormCalls of the event being handled.
//
// Threading: the user-interface thread only; runs synchronously inside the
// event procedure that issued the word, modal boxes included.
#ifndef PROCS_PROC_EXC_H_
#define PROCS_PROC_EXC_H_

#include <cstdint>
#include <string_view>

#include "common/form_calls.h"
#include "common/working_fields.h"
#include "data/data_files.h"

namespace dravel {

namespace command {
inline constexpr std::string_view abrar = "ABRAR";
inline constexpr std::string_view lermar = "LERMAR";
inline constexpr std::string_view exclui = "EXCLUI";
}  // namespace command

class ProcExc {
 public:
  ProcExc(WorkingFields& fields, SharedAreas& areas, DataFiles& files)
      : w_(fields), areas_(areas), files_(files) {}
  ProcExc(const ProcExc&) = delete;
  ProcExc& operator=(const ProcExc&) = delete;

  // The dispatcher: compares W-COMANDO, all 15 characters, with the three
  // words; runs the matching operation; then makes what was deleted durable
  // and sets W-COMANDO to spaces, however the operation ended.
  void run(FormCalls& form);

 private:
  // Opening the data files ("ABRAR"). False when the status check reported
  // a problem, which ends the call.
  bool open_data_files(FormCalls& form);
  // The status check after an open; false when it reported (and closed the
  // form).
  bool check_status(FormCalls& form);

  // The brand lookup ("LERMAR", and at the start of every deletion).
  void brand_lookup(FormCalls& form);

  // The deletion cascade ("EXCLUI").
  void delete_brand(FormCalls& form);
  // How a read or a pass ended: `failed` when a failure was shown to the
  // operator, `end_of_run` after a No.
  enum class Next { record, end_of_pass, end_of_run, failed };
  Next read_next(FormCalls& form, FileId file);
  // The history pass of `file` for the product in the PRODUTO area.
  Next delete_histories(FormCalls& form, FileId file);
  // Deletes the record in the file's area; false when the failure was shown.
  // A record another program holds ("99") or that is gone already ("23") is
  // no failure: the run goes on.
  bool delete_record(FormCalls& form, FileId file);
  // A commit point (with `only_when_due`, only once the deadline has come);
  // false when a failing commit was shown to the operator.
  bool commit(FormCalls& form, bool only_when_due = false);

  // Shows `text` (filled out to 120 characters) with `style` in the form's
  // message box.
  void show_message(FormCalls& form, std::string_view text, std::int32_t style);
  // Commits, then asks whether to read a locked record again; the answer in
  // W-RESPOSTA. False, without asking, when the commit failed (and was shown).
  bool locked_record_prompt(FormCalls& form);
  // The damaged-file text for `file` with the status now in W-STATUS.
  void report_damaged(FormCalls& form, FileId file);

  WorkingFields& w_;
  SharedAreas& areas_;
  DataFiles& files_;
};

// The body of the form-closed procedure: closes the four files that stay
// open after a complete opening. No status is examined.
void close_data_files(DataFiles& files);

}  // namespace dravel

#endif  // PROCS_PROC_EXC_H_
