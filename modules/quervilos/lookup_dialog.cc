#include "modules/quervilos/lookup_dialog.h"

#include <QCoreApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>
#include <string_view>

#include "platform/shared_areas.h"
#include "platform/text/cp1252.h"

namespace quervilos {
namespace {

constexpr std::string_view kBrandTable = "MAR";

bool moves_in_list(int key) {
  switch (key) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
      return true;
    default:
      return false;
  }
}

bool picks(int key) { return key == Qt::Key_Return || key == Qt::Key_Enter; }

}  // namespace

LookupDialog::LookupDialog(QWidget* parent, vantrexo::SharedAreaRegistry& areas,
                           const std::filesystem::path& drive)
    : QDialog(parent), link_(areas.attach(kLinkArea, kLinkSize)), model_(this) {
  setWindowTitle(QStringLiteral("Pesquisa de Marcas"));
  setModal(true);

  filter_ = new QLineEdit(this);
  filter_->setObjectName(QStringLiteral("filtro"));
  filter_->setPlaceholderText(QStringLiteral("Código ou descrição"));
  filter_->setClearButtonEnabled(false);

  view_ = new QTableView(this);
  view_->setObjectName(QStringLiteral("lista"));
  view_->setModel(&model_);
  view_->setSelectionBehavior(QAbstractItemView::SelectRows);
  view_->setSelectionMode(QAbstractItemView::SingleSelection);
  view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  view_->setTabKeyNavigation(false);
  view_->setWordWrap(false);
  view_->setAlternatingRowColors(true);
  view_->verticalHeader()->hide();
  // Fixed row heights and column widths: nothing is measured row by row, so
  // a long table shows at once.
  view_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  view_->verticalHeader()->setDefaultSectionSize(view_->fontMetrics().height() + 6);
  view_->horizontalHeader()->setSectionResizeMode(BrandListModel::code_column, QHeaderView::Fixed);
  view_->horizontalHeader()->resizeSection(
      BrandListModel::code_column,
      view_->fontMetrics().horizontalAdvance(QStringLiteral("Código")) + 24);
  view_->horizontalHeader()->setStretchLastSection(true);
  view_->horizontalHeader()->setSectionsClickable(false);

  message_ = new QLabel(this);
  message_->setObjectName(QStringLiteral("mensagem"));

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(filter_);
  layout->addWidget(view_, 1);
  layout->addWidget(message_);
  resize(460, 420);

  if (link_.size() < kLinkSize) {
    table_message_ = QStringLiteral("Área L-LINK indisponível");
  } else {
    const std::string_view table(link_.data() + kTableOffset, kTableWidth);
    if (table == kBrandTable) {
      BrandList read = read_brands(drive);
      table_message_ = QString::fromStdString(read.message);
      model_.set_brands(std::move(read.brands));
    } else {
      table_message_ = QStringLiteral("Tabela \"%1\" não disponível nesta pesquisa")
                           .arg(QString::fromStdString(vantrexo::cp1252_to_utf8(table)).trimmed());
    }
  }

  filter_->installEventFilter(this);
  view_->installEventFilter(this);
  connect(filter_, &QLineEdit::textChanged, this, &LookupDialog::filter_changed);
  connect(view_, &QAbstractItemView::doubleClicked, this,
          [this](const QModelIndex& index) { pick(index.row()); });
  filter_changed(QString());
  filter_->setFocus();
}

void LookupDialog::filter_changed(const QString& text) {
  model_.set_filter(text);
  if (model_.rowCount() > 0) {
    view_->setCurrentIndex(model_.index(0, BrandListModel::code_column));
    view_->scrollToTop();
  }
  show_message();
}

void LookupDialog::show_message() {
  if (!table_message_.isEmpty()) {
    message_->setText(table_message_);
  } else if (model_.brand_count() == 0) {
    message_->setText(QStringLiteral("Nenhuma marca cadastrada"));
  } else if (model_.rowCount() == 0) {
    message_->setText(QStringLiteral("Nenhuma marca encontrada"));
  } else {
    message_->setText(QStringLiteral("%1 marca(s)").arg(model_.rowCount()));
  }
}

void LookupDialog::pick(int row) {
  if (row < 0 && model_.rowCount() == 1) row = 0;
  if (row < 0 || row >= model_.rowCount() || link_.size() < kLinkSize) return;
  const std::string& code = model_.code_at(row);
  std::fill_n(link_.begin() + kCodeOffset, kCodeWidth, ' ');
  std::copy_n(code.begin(), std::min(code.size(), kCodeWidth), link_.begin() + kCodeOffset);
  accept();
}

bool LookupDialog::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress) return QDialog::eventFilter(watched, event);
  auto* key = static_cast<QKeyEvent*>(event);
  if (picks(key->key())) {
    pick(view_->currentIndex().row());
    return true;
  }
  if (key->key() == Qt::Key_Home || key->key() == Qt::Key_End) {
    // The first or the last row, from the filter or in the list (where a
    // table would move along the row).
    if (model_.rowCount() > 0) {
      const int row = key->key() == Qt::Key_Home ? 0 : model_.rowCount() - 1;
      view_->setCurrentIndex(model_.index(row, BrandListModel::code_column));
    }
    return true;
  }
  if (watched == filter_ && moves_in_list(key->key())) {
    // The filter keeps the focus; the list moves.
    QKeyEvent copy(key->type(), key->key(), key->modifiers(), key->text());
    QCoreApplication::sendEvent(view_, &copy);
    return true;
  }
  if (watched == view_ && !key->text().isEmpty() && key->text().at(0).isPrint()) {
    // Typing in the list goes on in the filter.
    filter_->setFocus();
    QKeyEvent copy(key->type(), key->key(), key->modifiers(), key->text());
    QCoreApplication::sendEvent(filter_, &copy);
    return true;
  }
  return QDialog::eventFilter(watched, event);
}

}  // namespace quervilos
