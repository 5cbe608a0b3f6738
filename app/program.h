// The form program DRAVEL_MARKS: its routing entry and everything it keeps
// for the run (working fields, shared areas, the six files with their record
// areas). A runtime constructs one Program and calls route() for every event
// of the form and its controls.
#ifndef APP_PROGRAM_H_
#define APP_PROGRAM_H_

#include <cstdint>

#include "app/working_fields.h"
#include "data/data_files.h"
#include "platform/files/indexed_file.h"
#include "platform/form/form_services.h"
#include "platform/shared_areas.h"

namespace dravel {

class Program {
 public:
  Program(vantrexo::FormServices& form, vrx::FileStore& store,
          vantrexo::SharedAreaRegistry& registry);

  // The routing entry DRAVEL_MARKS.
  void route(const vantrexo::ObjectTable& objects, std::int32_t object_id, std::int32_t event_id,
             vantrexo::EventParams* params, vantrexo::CopyBackArea* copy_back,
             vantrexo::KeyEventBlock* block);

  // A RoutingEntry that calls route() on this program.
  vantrexo::RoutingEntry entry();

  const WorkingFields& fields() const { return fields_; }
  const SharedAreas& areas() const { return areas_; }
  const DataFiles& files() const { return files_; }

 private:
  // ... filled in by the implementation
  vantrexo::FormServices& form_;
  vrx::FileStore& store_;
  vantrexo::SharedAreaRegistry& registry_;
  WorkingFields fields_;
  SharedAreas areas_;
  DataFiles files_{fields_.w_status};
  bool set_up_ = false;
};

}  // namespace dravel

#endif  // APP_PROGRAM_H_
