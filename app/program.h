// The form program DRAVEL_MARKS: its routing entry and everything it keeps
// for the run (working fields, shared areas, the six files with their record
// areas). A runtime constructs one Program and calls route() for every event
// of the form and its controls.
//
// The first routing call, whatever event it brings, attaches the fifteen
// shared areas and registers the six files (none is opened then). Each call
// then runs the one event procedure that the routing table names for the
// object and event, if any, as a guarded call; nothing thrown inside ever
// leaves route().
//
// Threading: the runtime's user-interface thread only, one event at a time;
// a routing call made from inside a modal box of an earlier one is allowed,
// but a procedure that is still running is not entered again.
#ifndef APP_PROGRAM_H_
#define APP_PROGRAM_H_

#include <cstdint>
#include <span>

#include "common/guarded_call.h"
#include "common/working_fields.h"
#include "data/data_files.h"
#include "form/event_procedures.h"
#include "platform/files/indexed_file.h"
#include "platform/form/form_services.h"
#include "platform/shared_areas.h"
#include "procs/proc_exc.h"

namespace dravel {

// One row of the routing table.
struct Route {
  std::int32_t object_id;
  std::int32_t event_id;
  Procedure procedure;
};

class Program {
 public:
  Program(vantrexo::FormServices& form, vrx::FileStore& store,
          vantrexo::SharedAreaRegistry& registry);
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  // The routing entry DRAVEL_MARKS. For the key event `params`, `copy_back`
  // and `block` are the runtime's; for other events they are not used.
  void route(const vantrexo::ObjectTable& objects, std::int32_t object_id, std::int32_t event_id,
             vantrexo::EventParams* params, vantrexo::CopyBackArea* copy_back,
             vantrexo::KeyEventBlock* block) noexcept;

  // A RoutingEntry that calls route() on this program.
  vantrexo::RoutingEntry entry();

  const WorkingFields& fields() const { return fields_; }
  const SharedAreas& areas() const { return areas_; }
  const DataFiles& files() const { return files_; }
  bool set_up() const { return set_up_; }

 private:
  void one_time_set_up();
  void key_event(vantrexo::EventParams* params, vantrexo::CopyBackArea* copy_back,
                 vantrexo::KeyEventBlock* block);
  void run(FormCalls& form, Procedure procedure);

  vantrexo::FormServices& form_;
  vrx::FileStore& store_;
  vantrexo::SharedAreaRegistry& registry_;
  WorkingFields fields_;
  SharedAreas areas_;
  DataFiles files_{fields_.w_status};
  GuardedCalls guard_{form_};
  ProcExc proc_exc_{fields_, areas_, files_};
  EventProcedures procedures_{fields_, areas_, files_, proc_exc_};
  bool set_up_ = false;
};

// The routing table, compared in row order.
std::span<const Route> routing_table();

}  // namespace dravel

#endif  // APP_PROGRAM_H_
