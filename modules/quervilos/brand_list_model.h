// The lookup's list of brands as a Qt table model: columns "Código" and
// "Descrição", the brands in the order they were read, narrowed by a filter
// that finds its text anywhere in the code or in the description, accents
// and letter case aside ("acos" finds "AÇOS ÁGUIA").
//
// Threading: the user-interface thread only.
#ifndef MODULES_QUERVILOS_BRAND_LIST_MODEL_H_
#define MODULES_QUERVILOS_BRAND_LIST_MODEL_H_

#include <QAbstractTableModel>
#include <QString>
#include <string>
#include <vector>

#include "modules/quervilos/brand_table.h"

namespace quervilos {

// The text with accents removed and letter case folded, for comparing.
QString folded(const QString& text);

class BrandListModel : public QAbstractTableModel {
 public:
  enum Column { code_column = 0, description_column = 1 };

  explicit BrandListModel(QObject* parent = nullptr);

  // Replaces the brands (the filter is kept and applied).
  void set_brands(std::vector<Brand> brands);
  // Shows only the brands whose code or description holds `filter`. An
  // empty filter, or one of spaces only, shows them all.
  void set_filter(const QString& filter);

  // Every brand read, whatever the filter.
  int brand_count() const { return static_cast<int>(rows_.size()); }
  // The code of the row shown at `row`, as the file holds it (3 bytes,
  // Windows-1252).
  const std::string& code_at(int row) const;

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;

 private:
  struct Row {
    std::string code;  // raw
    QString shown_code, shown_description;
    QString folded_code, folded_description;
  };
  void apply_filter();

  std::vector<Row> rows_;
  QString filter_;          // folded
  std::vector<int> shown_;  // indexes into rows_, in order
};

}  // namespace quervilos

#endif  // MODULES_QUERVILOS_BRAND_LIST_MODEL_H_
