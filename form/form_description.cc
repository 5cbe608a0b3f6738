#include "form/form_description.h"

#include <array>

#include "common/form_ids.h"

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

constexpr ControlDescription kForm = {
    .kind = ControlKind::form,
    .name = "DRAVEL_MARKS",
    .object_id = ids::form,
    .x = 438,  // initial position on the screen
    .y = 228,
    .width = 418,  // inner size
    .height = 169,
    .text = "Exclui Produtos por Marca",
    .font = kShellDlg,
    .foreground = kWindowText,
    .background = Colour::of(0, 128, 128),
    .table_position = table::form,
};

// In the order of their object ids.
constexpr std::array<ControlDescription, 9> kControls = {{
    {
        .kind = ControlKind::command_button,
        .name = "Bt_EXC",
        .object_id = ids::bt_exc,
        .container = ids::form,
        .x = 260,
        .y = 77,
        .width = 136,
        .height = 29,
        .text = "Exclui Produtos",
        .picture = "Bt_Salvar",
        .font = kTahomaBold,
        .foreground = kWindowText,
        .background = kButtonFace,
        .tab_index = 1,
        .tab_stop = true,
        .table_position = table::bt_exc,
    },
    {
        .kind = ControlKind::text_box,
        .name = "Ed_CODIMAR",
        .object_id = ids::ed_codimar,
        .container = ids::frame7,
        .x = 4,
        .y = 19,
        .width = 30,
        .height = 17,
        .max_length = 3,  // x(03)
        .font = kTahoma,
        .foreground = kWindowText,
        .background = kWhite,
        .border = true,
        .tab_index = 0,
        .tab_stop = true,
        .table_position = table::ed_codimar,
    },
    {
        .kind = ControlKind::command_button,
        .name = "Command1",
        .object_id = ids::command1,
        .container = ids::frame7,
        .x = 35,
        .y = 19,
        .width = 19,
        .height = 17,
        .picture = "Bt_pesquisar",
        .font = kShellDlg,
        .foreground = kWindowText,
        .background = kButtonFace,
        .tab_index = 3,
        .tab_stop = true,
        .table_position = table::command1,
    },
    {
        .kind = ControlKind::static_text,
        .name = "Ds_MAR",
        .object_id = ids::ds_mar,
        .container = ids::frame7,
        .x = 54,
        .y = 19,
        .width = 160,
        .height = 17,
        .max_length = 25,  // x(25)
        .font = kTahoma,
        .foreground = kWindowText,
        .background = kWhite,
        .border = true,
        .tab_index = 4,
        .table_position = table::ds_mar,
    },
    {
        .kind = ControlKind::frame,
        .name = "Frame7",
        .object_id = ids::frame7,
        .container = ids::form,
        .x = 8,
        .y = 70,
        .width = 226,
        .height = 42,
        .text = " Marca a Serem Exclu\xED"
                "dos os Produtos",
        .font = kTahomaBold,
        .foreground = kWindowText,
        .background = kButtonFace,
        .border = true,
        .caption_alignment = Alignment::left,
        .tab_index = 2,
        .table_position = table::frame7,
    },
    {
        .kind = ControlKind::image,
        .name = "Image1",
        .object_id = ids::image1,
        .container = ids::frm_chave1,
        .x = 2,
        .y = 0,
        .width = 45,
        .height = 45,
        .picture = "Bt_Exclamacao",
        .transparent = true,
        .table_position = table::image1,
    },
    {
        .kind = ControlKind::static_text,
        .name = "Static66",
        .object_id = ids::static66,
        .container = ids::frm_chave1,
        .x = 50,
        .y = 7,
        .width = 348,
        .height = 30,
        .text = "A execu\xE7\xE3o dessa rotina exclui todos os produtos, hist\xF3ricos de valores "
                "e de movimenta\xE7\xF5"
                "es da marca selecionada.",
        .font = kTahomaBold,
        .foreground = Colour::of(0, 0, 0),
        .background = kBeige,
        .tab_index = 6,
        .table_position = table::static66,
    },
    {
        .kind = ControlKind::frame,
        .name = "Frm_Chave1",
        .object_id = ids::frm_chave1,
        .container = ids::form,
        .x = 8,
        .y = 7,
        .width = 402,
        .height = 49,
        .font = kTahomaBold,
        .foreground = Colour::of(255, 255, 0),
        .background = kBeige,
        .border = true,
        .enabled = false,  // and with it its contents
        .tab_index = 5,
        .table_position = table::frm_chave1,
    },
    {
        .kind = ControlKind::frame,
        .name = "Frm_Dsp",
        .object_id = ids::frm_dsp,
        .container = ids::form,
        .x = 8,
        .y = 128,
        .width = 402,
        .height = 25,
        .font = kVerdanaBold,
        .foreground = Colour::of(128, 0, 0),
        .background = Colour::of(192, 192, 192),
        .border = true,
        .caption_alignment = Alignment::centre,
        .tab_index = 7,
        .table_position = table::frm_dsp,
    },
}};

constexpr std::array<PictureResource, 3> kPictures = {{
    {"BT_SALVAR", 23, 23},
    {"BT_PESQUISAR", 17, 17},
    {"BT_EXCLAMACAO", 45, 45},
}};

}  // namespace

const ModuleDescription& dravel_marks_description() {
  static const ModuleDescription kModule = {
      .module_name = "DRAVEL_MARKS",
      .form = kForm,
      .form_class = "Main.Form2",
      .controls = kControls,
      .pictures = kPictures,
      .picture_transparent_colour = Colour::of(192, 192, 192),
  };
  return kModule;
}

}  // namespace dravel
