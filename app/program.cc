#include "app/program.h"

#include <array>
#include <span>

#include "common/form_ids.h"
#include "form/form_description.h"

namespace dravel {
namespace {

namespace event = vantrexo::event_id;

constexpr std::array<Route, 10> kRoutingTable = {{
    {ids::form, event::form_key_down, Procedure::evento_1},
    {ids::form, event::form_opened, Procedure::evento_2},
    {ids::form, event::form_closed, Procedure::evento_3},
    {ids::bt_exc, event::lost_focus, Procedure::evento_5},
    {ids::bt_exc, event::got_focus, Procedure::evento_6},
    {ids::bt_exc, event::click, Procedure::evento_7},
    {ids::ed_codimar, event::lost_focus, Procedure::evento_4},
    {ids::command1, event::lost_focus, Procedure::evento_8},
    {ids::command1, event::got_focus, Procedure::evento_9},
    {ids::command1, event::click, Procedure::evento_10},
}};

constexpr std::array<std::string_view, kProcedureCount> kProcedureNames = {
    "EVENTO-1", "EVENTO-2", "EVENTO-3", "EVENTO-4",  "EVENTO-5", "EVENTO-6",
    "EVENTO-7", "EVENTO-8", "EVENTO-9", "EVENTO-10", "PROC-EXC"};

std::string_view procedure_name(Procedure p) {
  return kProcedureNames[static_cast<std::size_t>(p)];
}

}  // namespace

std::span<const Route> routing_table() { return kRoutingTable; }

Program::Program(vantrexo::FormServices& form, vrx::FileStore& store,
                 vantrexo::SharedAreaRegistry& registry)
    : form_(form), store_(store), registry_(registry) {}

vantrexo::RoutingEntry Program::entry() {
  return [this](const vantrexo::ObjectTable& objects, std::int32_t object_id, std::int32_t event_id,
                vantrexo::EventParams* params, vantrexo::CopyBackArea* copy_back,
                vantrexo::KeyEventBlock* block) {
    route(objects, object_id, event_id, params, copy_back, block);
  };
}

void Program::one_time_set_up() {
  set_up_ = true;
  attach_shared_areas(registry_, areas_);
  files_.register_files(store_);
}

void Program::route(const vantrexo::ObjectTable& objects, std::int32_t object_id,
                    std::int32_t event_id, vantrexo::EventParams* params,
                    vantrexo::CopyBackArea* copy_back, vantrexo::KeyEventBlock* block) noexcept {
  try {
    if (!set_up_) one_time_set_up();
    FormCalls form(form_, guard_, dravel_marks_description(), objects);
    for (const Route& row : kRoutingTable) {
      if (row.object_id != object_id || row.event_id != event_id) continue;
      if (row.procedure == Procedure::evento_1) {
        key_event(params, copy_back, block);
      } else {
        run(form, row.procedure);
      }
      return;
    }
  } catch (...) {
    // Only the set-up can get here (every procedure and form call is
    // guarded); the runtime must never see it.
    guard_.report("DRAVEL_MARKS");
  }
}

void Program::key_event(vantrexo::EventParams* params, vantrexo::CopyBackArea* copy_back,
                        vantrexo::KeyEventBlock* block) {
  // The runtime always passes all three for the key event; stand-ins keep a
  // faulty call harmless.
  vantrexo::EventParams no_params;
  vantrexo::CopyBackArea no_copy_back;
  vantrexo::KeyEventBlock no_block;
  vantrexo::EventParams& p = params != nullptr ? *params : no_params;
  vantrexo::CopyBackArea& c = copy_back != nullptr ? *copy_back : no_copy_back;
  vantrexo::KeyEventBlock& b = block != nullptr ? *block : no_block;

  b.descriptor = vantrexo::kKeyBlockDescriptor;
  guard_.call("key event fill", [&] { return form_.key_event_fill(p, b); });
  guard_.run(Procedure::evento_1, procedure_name(Procedure::evento_1),
             [&] { procedures_.evento_1(b.key_code, b.shift); });
  guard_.call("key event copy back", [&] { return form_.key_event_copy_back(p, b, c); });
}

void Program::run(FormCalls& form, Procedure procedure) {
  guard_.run(procedure, procedure_name(procedure), [&] {
    switch (procedure) {
      case Procedure::evento_1:
        break;  // the key event has its own path
      case Procedure::evento_2:
        procedures_.evento_2(form);
        break;
      case Procedure::evento_3:
        procedures_.evento_3(form);
        break;
      case Procedure::evento_4:
        procedures_.evento_4(form);
        break;
      case Procedure::evento_5:
        procedures_.evento_5(form);
        break;
      case Procedure::evento_6:
        procedures_.evento_6(form);
        break;
      case Procedure::evento_7:
        procedures_.evento_7(form);
        break;
      case Procedure::evento_8:
        procedures_.evento_8(form);
        break;
      case Procedure::evento_9:
        procedures_.evento_9(form);
        break;
      case Procedure::evento_10:
        procedures_.evento_10(form);
        break;
      case Procedure::proc_exc:
        break;  // issued by the event procedures only
    }
  });
}

}  // namespace dravel
