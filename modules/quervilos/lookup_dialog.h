// The form "99-Qrv_Tabelas": a modal list of the table that L-LINK's
// LK-TABELA names ("MAR": the brands of TABEMAR), with a filter box above
// it and a message line below. The operator types part of a code or of a
// description to narrow the list, moves with the arrow keys, Page Up/Down,
// Home and End, and picks with Enter or a double click: the chosen code goes
// into LK-CODIGO. Esc or closing the window picks nothing and leaves
// LK-CODIGO as it was. The list opens on its first row, the filter focused;
// Enter picks the row shown current, which is always the first row after
// the filter changes, so with one row left Enter picks it.
//
// Threading: the user-interface thread only.
#ifndef MODULES_QUERVILOS_LOOKUP_DIALOG_H_
#define MODULES_QUERVILOS_LOOKUP_DIALOG_H_

#include <QDialog>
#include <filesystem>
#include <span>

#include "modules/quervilos/brand_list_model.h"

class QLabel;
class QLineEdit;
class QTableView;

namespace vantrexo {
class SharedAreaRegistry;
}

namespace quervilos {

// Where the lookup reads and writes in L-LINK.
inline constexpr std::string_view kLinkArea = "L-LINK";
inline constexpr std::size_t kLinkSize = 332;
inline constexpr std::size_t kTableOffset = 19;  // LK-TABELA
inline constexpr std::size_t kTableWidth = 3;
inline constexpr std::size_t kCodeOffset = 22;  // LK-CODIGO
inline constexpr std::size_t kCodeWidth = 3;

class LookupDialog : public QDialog {
 public:
  // Reads LK-TABELA from the registry's L-LINK and the table under `drive`.
  LookupDialog(QWidget* parent, vantrexo::SharedAreaRegistry& areas,
               const std::filesystem::path& drive);

  QLineEdit* filter_box() const { return filter_; }
  QTableView* list() const { return view_; }
  QLabel* message_line() const { return message_; }
  const BrandListModel& model() const { return model_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void filter_changed(const QString& text);
  // Writes the code of the current row (or of the only row) into LK-CODIGO
  // and closes; nothing when there is no row to pick.
  void pick(int row);
  void show_message();

  std::span<char> link_;
  BrandListModel model_;
  QString table_message_;  // what reading the table said, if anything
  QLineEdit* filter_ = nullptr;
  QTableView* view_ = nullptr;
  QLabel* message_ = nullptr;
};

}  // namespace quervilos

#endif  // MODULES_QUERVILOS_LOOKUP_DIALOG_H_
