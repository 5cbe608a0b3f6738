#include "form/form_description.h"

#include <array>

#include "form/form_ids.h"

namespace dravel {
namespace {

using vantrexo::Alignment;
using vantrexo::Colour;
using vantrexo::ControlDescription;
using vantrexo::ControlKind;
using vantrexo::Font;
using vantrexo::ModuleDescription;
using vantrexo::PictureResource;
using vantrexo::SystemColour;

constexpr Font kShellDlg{"MS Shell Dlg", 8.25, false};
constexpr Font kTahoma{"Tahoma", 8.25, false};
constexpr Font kTahomaBold{"Tahoma", 8.25, true};
constexpr Font kVerdanaBold{"Verdana", 8.25, true};

constexpr Colour kWindowText = Colour::sys(SystemColour::window_text);
constexpr Colour kButtonFace = Colour::sys(SystemColour::button_face);
constexpr Colour kWhite = Colour::of(255, 255, 255);
constexpr Colour kBeige = Colour::of(236, 233, 217);

ControlDescription form_itself() {
  ControlDescription c;
  c.kind = ControlKind::form;
  c.name = "DRAVEL_MARKS";
  c.object_id = ids::form;
  c.container = 0;
  c.x = 438;  // initial position on the screen
  c.y = 228;
  c.width = 418;  // inner size
  c.height = 169;
  c.text = "Exclui Produtos por Marca";
  c.font = kShellDlg;
  c.foreground = kWindowText;
  c.background = Colour::of(0, 128, 128);
  c.table_position = table::form;
  return c;
}

// In the order of their object ids.
std::array<ControlDescription, 9> controls() {
  std::array<ControlDescription, 9> all{};

  ControlDescription& bt_exc = all[0];
  bt_exc.kind = ControlKind::command_button;
  bt_exc.name = "Bt_EXC";
  bt_exc.object_id = ids::bt_exc;
  bt_exc.container = ids::form;
  bt_exc.x = 260, bt_exc.y = 77, bt_exc.width = 136, bt_exc.height = 29;
  bt_exc.text = "Exclui Produtos";
  bt_exc.picture = "Bt_Salvar";
  bt_exc.font = kTahomaBold;
  bt_exc.foreground = kWindowText;
  bt_exc.background = kButtonFace;
  bt_exc.tab_index = 1;
  bt_exc.tab_stop = true;
  bt_exc.table_position = table::bt_exc;

  ControlDescription& ed_codimar = all[1];
  ed_codimar.kind = ControlKind::text_box;
  ed_codimar.name = "Ed_CODIMAR";
  ed_codimar.object_id = ids::ed_codimar;
  ed_codimar.container = ids::frame7;
  ed_codimar.x = 4, ed_codimar.y = 19, ed_codimar.width = 30, ed_codimar.height = 17;
  ed_codimar.max_length = 3;  // x(03)
  ed_codimar.font = kTahoma;
  ed_codimar.foreground = kWindowText;
  ed_codimar.background = kWhite;
  ed_codimar.border = true;
  ed_codimar.tab_index = 0;
  ed_codimar.tab_stop = true;
  ed_codimar.table_position = table::ed_codimar;

  ControlDescription& command1 = all[2];
  command1.kind = ControlKind::command_button;
  command1.name = "Command1";
  command1.object_id = ids::command1;
  command1.container = ids::frame7;
  command1.x = 35, command1.y = 19, command1.width = 19, command1.height = 17;
  command1.picture = "Bt_pesquisar";
  command1.font = kShellDlg;
  command1.foreground = kWindowText;
  command1.background = kButtonFace;
  command1.tab_index = 3;
  command1.tab_stop = true;
  command1.table_position = table::command1;

  ControlDescription& ds_mar = all[3];
  ds_mar.kind = ControlKind::static_text;
  ds_mar.name = "Ds_MAR";
  ds_mar.object_id = ids::ds_mar;
  ds_mar.container = ids::frame7;
  ds_mar.x = 54, ds_mar.y = 19, ds_mar.width = 160, ds_mar.height = 17;
  ds_mar.max_length = 25;  // x(25)
  ds_mar.font = kTahoma;
  ds_mar.foreground = kWindowText;
  ds_mar.background = kWhite;
  ds_mar.border = true;
  ds_mar.tab_index = 4;
  ds_mar.table_position = table::ds_mar;

  ControlDescription& frame7 = all[4];
  frame7.kind = ControlKind::frame;
  frame7.name = "Frame7";
  frame7.object_id = ids::frame7;
  frame7.container = ids::form;
  frame7.x = 8, frame7.y = 70, frame7.width = 226, frame7.height = 42;
  frame7.text =
      " Marca a Serem Exclu\xED"
      "dos os Produtos";
  frame7.font = kTahomaBold;
  frame7.foreground = kWindowText;
  frame7.background = kButtonFace;
  frame7.border = true;
  frame7.caption_alignment = Alignment::left;
  frame7.tab_index = 2;
  frame7.table_position = table::frame7;

  ControlDescription& image1 = all[5];
  image1.kind = ControlKind::image;
  image1.name = "Image1";
  image1.object_id = ids::image1;
  image1.container = ids::frm_chave1;
  image1.x = 2, image1.y = 0, image1.width = 45, image1.height = 45;
  image1.picture = "Bt_Exclamacao";
  image1.transparent = true;
  image1.table_position = table::image1;

  ControlDescription& static66 = all[6];
  static66.kind = ControlKind::static_text;
  static66.name = "Static66";
  static66.object_id = ids::static66;
  static66.container = ids::frm_chave1;
  static66.x = 50, static66.y = 7, static66.width = 348, static66.height = 30;
  static66.text =
      "A execu\xE7\xE3o dessa rotina exclui todos os produtos, hist\xF3ricos de valores e de "
      "movimenta\xE7\xF5"
      "es da marca selecionada.";
  static66.font = kTahomaBold;
  static66.foreground = Colour::of(0, 0, 0);
  static66.background = kBeige;
  static66.tab_index = 6;
  static66.table_position = table::static66;

  ControlDescription& frm_chave1 = all[7];
  frm_chave1.kind = ControlKind::frame;
  frm_chave1.name = "Frm_Chave1";
  frm_chave1.object_id = ids::frm_chave1;
  frm_chave1.container = ids::form;
  frm_chave1.x = 8, frm_chave1.y = 7, frm_chave1.width = 402, frm_chave1.height = 49;
  frm_chave1.font = kTahomaBold;
  frm_chave1.foreground = Colour::of(255, 255, 0);
  frm_chave1.background = kBeige;
  frm_chave1.border = true;
  frm_chave1.enabled = false;  // and with it its contents
  frm_chave1.tab_index = 5;
  frm_chave1.table_position = table::frm_chave1;

  ControlDescription& frm_dsp = all[8];
  frm_dsp.kind = ControlKind::frame;
  frm_dsp.name = "Frm_Dsp";
  frm_dsp.object_id = ids::frm_dsp;
  frm_dsp.container = ids::form;
  frm_dsp.x = 8, frm_dsp.y = 128, frm_dsp.width = 402, frm_dsp.height = 25;
  frm_dsp.font = kVerdanaBold;
  frm_dsp.foreground = Colour::of(128, 0, 0);
  frm_dsp.background = Colour::of(192, 192, 192);
  frm_dsp.border = true;
  frm_dsp.caption_alignment = Alignment::centre;
  frm_dsp.tab_index = 7;
  frm_dsp.table_position = table::frm_dsp;

  return all;
}

constexpr std::array<PictureResource, 3> kPictures = {{
    {"BT_SALVAR", 23, 23},
    {"BT_PESQUISAR", 17, 17},
    {"BT_EXCLAMACAO", 45, 45},
}};

}  // namespace

const ModuleDescription& dravel_marks_description() {
  static const std::array<ControlDescription, 9> kControls = controls();
  static const ModuleDescription kModule = {
      .module_name = "DRAVEL_MARKS",
      .form = form_itself(),
      .form_class = "Main.Form2",
      .controls = kControls,
      .pictures = kPictures,
      .picture_transparent_colour = Colour::of(192, 192, 192),
  };
  return kModule;
}

}  // namespace dravel
