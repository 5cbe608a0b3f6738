#include "modules/quervilos/lookup_dialog.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <cstdlib>

#include "modules/quervilos/test_support.h"
#include "platform/modules/module_loader.h"
#include "platform/shared_areas.h"

namespace quervilos {
namespace {

using ::testing::HasSubstr;

// L-LINK of a registry of the test's own, with LK-TABELA and LK-CODIGO set and
// the rest as other modules may have left it.
class Link {
 public:
  Link(std::string_view table, std::string_view code) : link_(areas_.attach(kLinkArea, kLinkSize)) {
    std::fill(link_.begin(), link_.end(), 'q');  // what other modules left there
    std::copy_n(table.begin(), kTableWidth, link_.begin() + kTableOffset);
    std::copy_n(code.begin(), kCodeWidth, link_.begin() + kCodeOffset);
  }
  vantrexo::SharedAreaRegistry& areas() { return areas_; }
  std::string_view code() const { return {link_.data() + kCodeOffset, kCodeWidth}; }
  // L-LINK without LK-CODIGO.
  std::string rest() const {
    std::string all(link_.data(), link_.size());
    return all.erase(kCodeOffset, kCodeWidth);
  }

 private:
  vantrexo::SharedAreaRegistry areas_;
  std::span<char> link_;
};

// Types `text` key by key, as an operator would; also letters outside ASCII.
void type(QWidget* widget, const QString& text) {
  for (const QChar c : text) {
    QTest::sendKeyEvent(QTest::Click, widget, static_cast<Qt::Key>(c.toUpper().unicode()),
                        QString(c), Qt::NoModifier);
  }
}

class LookupDialogTest : public ::testing::Test {
 protected:
  testing::BrandDrive drive_{testing::sample_brands()};
  Link link_{"MAR", "XYZ"};

  // The dialog shown, as the module shows it.
  std::unique_ptr<LookupDialog> open() {
    auto dialog = std::make_unique<LookupDialog>(nullptr, link_.areas(), drive_.path());
    dialog->show();
    EXPECT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
    return dialog;
  }
  static std::string current_code(const LookupDialog& d) {
    const int row = d.list()->currentIndex().row();
    return row < 0 ? "none" : d.model().code_at(row);
  }
};

TEST_F(LookupDialogTest, OpensOnTheFirstRowWithTheFilterFocused) {
  auto d = open();
  EXPECT_EQ(QApplication::focusWidget(), d->filter_box());
  EXPECT_EQ(d->model().rowCount(), 6);
  EXPECT_EQ(current_code(*d), "C07");  // "ACABAMENTOS FINOS", first by description
  EXPECT_EQ(d->message_line()->text(), QStringLiteral("6 marca(s)"));
}

TEST_F(LookupDialogTest, TypingNarrowsTheListAndEnterPicksTheOneLeft) {
  const std::string rest = link_.rest();
  auto d = open();
  type(d->filter_box(), QStringLiteral("Águ"));
  EXPECT_EQ(d->model().rowCount(), 1);
  QTest::keyClick(d->filter_box(), Qt::Key_Return);
  EXPECT_EQ(d->result(), QDialog::Accepted);
  EXPECT_FALSE(d->isVisible());
  EXPECT_EQ(link_.code(), "A02");
  EXPECT_EQ(link_.rest(), rest);  // nothing else of L-LINK changes
}

TEST_F(LookupDialogTest, TheKeysMoveInTheListWhileTheFilterKeepsTheFocus) {
  struct Case {
    std::vector<Qt::Key> keys;
    std::string code;
  };
  const Case cases[] = {
      {{Qt::Key_Down}, "X01"},
      {{Qt::Key_Down, Qt::Key_Down, Qt::Key_Up}, "X01"},
      {{Qt::Key_End}, "B10"},
      {{Qt::Key_End, Qt::Key_Home}, "C07"},
      {{Qt::Key_PageDown}, "B10"},  // six rows fit on one page
      {{Qt::Key_End, Qt::Key_PageUp}, "C07"},
      {{Qt::Key_Down, Qt::Key_Down, Qt::Key_Right, Qt::Key_Left}, "A02"},  // the filter's own
  };
  for (const Case& c : cases) {
    Link link("MAR", "XYZ");
    LookupDialog d(nullptr, link.areas(), drive_.path());
    d.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&d));
    for (Qt::Key k : c.keys) QTest::keyClick(d.filter_box(), k);
    EXPECT_EQ(QApplication::focusWidget(), d.filter_box());
    EXPECT_EQ(current_code(d), c.code) << c.code;
    QTest::keyClick(d.filter_box(), Qt::Key_Enter);  // the keypad's Enter
    EXPECT_EQ(link.code(), c.code);
  }
}

TEST_F(LookupDialogTest, EscPicksNothingAndLeavesTheCodeAsFound) {
  auto d = open();
  QTest::keyClicks(d->filter_box(), "a0");
  QTest::keyClick(d->filter_box(), Qt::Key_Escape);
  EXPECT_EQ(d->result(), QDialog::Rejected);
  EXPECT_FALSE(d->isVisible());
  EXPECT_EQ(link_.code(), "XYZ");
}

TEST_F(LookupDialogTest, EnterOnAnEmptyResultPicksNothingAndStaysOpen) {
  auto d = open();
  QTest::keyClicks(d->filter_box(), "qqq");
  EXPECT_EQ(d->message_line()->text(), QStringLiteral("Nenhuma marca encontrada"));
  QTest::keyClick(d->filter_box(), Qt::Key_Return);
  EXPECT_TRUE(d->isVisible());
  EXPECT_EQ(link_.code(), "XYZ");
  // Clearing the filter shows every brand again, from the first.
  for (int i = 0; i < 3; ++i) QTest::keyClick(d->filter_box(), Qt::Key_Backspace);
  EXPECT_EQ(d->model().rowCount(), 6);
  EXPECT_EQ(current_code(*d), "C07");
}

TEST_F(LookupDialogTest, ADoubleClickPicksTheRowClicked) {
  auto d = open();
  QTableView* view = d->list();
  const QModelIndex third = d->model().index(2, BrandListModel::description_column);
  const QPoint at = view->visualRect(third).center();
  QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
  EXPECT_TRUE(d->isVisible());  // a single click only moves
  EXPECT_EQ(current_code(*d), "A02");
  QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
  EXPECT_EQ(d->result(), QDialog::Accepted);
  EXPECT_EQ(link_.code(), "A02");
}

TEST_F(LookupDialogTest, TypingInTheListGoesOnInTheFilter) {
  auto d = open();
  d->list()->setFocus();
  QTest::keyClick(d->list(), Qt::Key_End);  // in the list too: the last row, not the last column
  EXPECT_EQ(current_code(*d), "B10");
  QTest::keyClick(d->list(), Qt::Key_Up);
  EXPECT_EQ(current_code(*d), "Z99");
  QTest::keyClicks(d->list(), "zin");
  EXPECT_EQ(d->filter_box()->text(), QStringLiteral("zin"));
  EXPECT_EQ(d->model().rowCount(), 1);
  QTest::keyClick(d->list(), Qt::Key_Return);
  EXPECT_EQ(link_.code(), "Z99");
}

TEST(LookupDialog, AnotherTableOrABadTableShowsAnEmptyListAndSaysWhy) {
  testing::BrandDrive with_brands(testing::sample_brands());
  testing::BrandDrive without_table;
  struct Case {
    std::string_view table;
    const testing::BrandDrive* drive;
    std::string says;
  };
  const Case cases[] = {
      {"CLI", &with_brands, "Tabela \"CLI\" não disponível"},
      {"   ", &with_brands, "Tabela \"\" não disponível"},
      {"MAR", &without_table, "TABEMAR: arquivo inexistente (status 35)"},
  };
  for (const Case& c : cases) {
    Link link(c.table, "XYZ");
    LookupDialog d(nullptr, link.areas(), c.drive->path());
    d.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&d));
    EXPECT_EQ(d.model().rowCount(), 0);
    EXPECT_THAT(d.message_line()->text().toStdString(), HasSubstr(c.says));
    QTest::keyClick(d.filter_box(), Qt::Key_Return);
    QTest::keyClick(d.filter_box(), Qt::Key_Escape);
    EXPECT_EQ(link.code(), "XYZ");
  }
}

// The module loaded by name from the module folder, run modally on a parent
// window: what the operator picks reaches the host's own L-LINK.
TEST(QuervilosModule, RunModallyByNameItWritesTheChosenCodeIntoTheProcesssLLink) {
  testing::BrandDrive drive(testing::sample_brands());
  ASSERT_EQ(::setenv("VANTREXO_DRIVE", drive.path().c_str(), 1), 0);
  std::span<char> link = vantrexo::SharedAreaRegistry::process().attach(kLinkArea, kLinkSize);
  ASSERT_EQ(link.size(), kLinkSize);
  QWidget parent;
  parent.show();

  struct Case {
    QString typed;
    Qt::Key key;
    std::string_view code;  // LK-CODIGO after the call
  };
  const Case cases[] = {
      {QStringLiteral("óleo"), Qt::Key_Return, "B10"},
      {"zinco", Qt::Key_Escape, "   "},
  };
  for (const Case& c : cases) {
    std::copy_n("MAR   ", 6, link.begin() + kTableOffset);
    QWidget* seen_parent = nullptr;
    QTimer guard;  // never hang the run: close whatever is still open
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] {
      if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
    });
    guard.start(10000);
    QTimer::singleShot(0, [&] {
      QWidget* modal = QApplication::activeModalWidget();
      if (modal == nullptr) return;
      seen_parent = modal->parentWidget();
      auto* filter = modal->findChild<QLineEdit*>(QStringLiteral("filtro"));
      type(filter, c.typed);
      QTest::keyClick(filter, c.key);
    });
    EXPECT_EQ(vantrexo::run_form("99-Qrv_Tabelas", "999999-Quervilos.DLL", &parent), std::nullopt);
    EXPECT_EQ(seen_parent, &parent);
    EXPECT_EQ(std::string_view(link.data() + kCodeOffset, kCodeWidth), c.code);
  }
  ::unsetenv("VANTREXO_DRIVE");
}

}  // namespace
}  // namespace quervilos
