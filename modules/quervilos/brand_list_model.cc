#include "modules/quervilos/brand_list_model.h"

#include <algorithm>

#include "platform/text/cp1252.h"

namespace quervilos {
namespace {

QString shown(const std::string& cp1252) {
  return QString::fromStdString(vantrexo::cp1252_to_utf8(cp1252));
}

}  // namespace

QString folded(const QString& text) {
  const bool plain =
      std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
  if (plain) return text.toLower();
  const QString decomposed = text.normalized(QString::NormalizationForm_KD);
  QString out;
  out.reserve(decomposed.size());
  for (const QChar c : decomposed) {
    if (c.category() != QChar::Mark_NonSpacing) out.append(c);
  }
  return out.toCaseFolded();
}

BrandListModel::BrandListModel(QObject* parent) : QAbstractTableModel(parent) {}

void BrandListModel::set_brands(std::vector<Brand> brands) {
  beginResetModel();
  rows_.clear();
  rows_.reserve(brands.size());
  for (Brand& b : brands) {
    Row row;
    row.shown_code = shown(b.code);
    row.shown_description = shown(b.description);
    row.folded_code = folded(row.shown_code);
    row.folded_description = folded(row.shown_description);
    row.code = std::move(b.code);
    rows_.push_back(std::move(row));
  }
  apply_filter();
  endResetModel();
}

void BrandListModel::set_filter(const QString& filter) {
  const QString f = filter.trimmed().isEmpty() ? QString() : folded(filter);
  if (f == filter_) return;
  beginResetModel();
  filter_ = f;
  apply_filter();
  endResetModel();
}

void BrandListModel::apply_filter() {
  shown_.clear();
  shown_.reserve(rows_.size());
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    const Row& r = rows_[i];
    if (filter_.isEmpty() || r.folded_code.contains(filter_) ||
        r.folded_description.contains(filter_)) {
      shown_.push_back(static_cast<int>(i));
    }
  }
}

const std::string& BrandListModel::code_at(int row) const {
  return rows_[static_cast<std::size_t>(shown_.at(static_cast<std::size_t>(row)))].code;
}

int BrandListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(shown_.size());
}

int BrandListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : 2;
}

QVariant BrandListModel::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole || !index.isValid() || index.row() >= rowCount()) return {};
  const Row& r = rows_[static_cast<std::size_t>(shown_[static_cast<std::size_t>(index.row())])];
  return index.column() == code_column ? r.shown_code : r.shown_description;
}

QVariant BrandListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  return section == code_column ? QStringLiteral("Código") : QStringLiteral("Descrição");
}

}  // namespace quervilos
