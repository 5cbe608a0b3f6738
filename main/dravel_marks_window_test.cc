// The window DRAVEL_MARKS end to end, in-process: the real program in the
// Qt form runtime (real widgets, offscreen), the real engine on small data
// files under a temporary drive, the operator's keys and clicks, and the
// boxes answered from the test.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QDialog>
#include <QImage>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "app/program.h"
#include "data/catalogue.h"
#include "data/record.h"
#include "data/record_layouts.h"
#include "form/form_description.h"
#include "main/test_records.h"
#include "platform/files/sqlite_store.h"
#include "platform/modules/module_loader.h"
#include "platform/qt/message_boxes.h"
#include "platform/qt/qt_form_runtime.h"
#include "platform/shared_areas.h"
#include "platform/text/cp1252.h"

namespace {

namespace fs = std::filesystem;
namespace qt = vantrexo::qt;
using dravel::FileId;
using dravel::Record;
namespace layout = dravel::layout;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

constexpr const char* kUser = "OPERADOR";

using dravel::testing::history;
using dravel::testing::product;
using dravel::testing::record_of;

// A box as the operator saw it, with the display band at that moment.
struct SeenBox {
  std::int32_t style;
  std::string text;  // UTF-8
  std::string display;
  friend bool operator==(const SeenBox&, const SeenBox&) = default;
  friend std::ostream& operator<<(std::ostream& out, const SeenBox& b) {
    return out << b.style << " \"" << b.text << "\" [" << b.display << "]";
  }
};

class DravelMarksWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/dravel-marks-window-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    drive_ = pattern;
    setenv("VANTREXO_USUARIO", kUser, 1);
    qt::MessageBoxes::reset();
    qt::MessageBoxes::observe([this](const qt::BoxRequest& r) {
      seen_.push_back(
          {r.style, r.text.toStdString(), vantrexo::cp1252_to_utf8(runtime_->text_of("Frm_Dsp"))});
      EXPECT_EQ(r.title.toStdString(), "Exclui Produtos por Marca");
    });

    load(FileId::paramet, {record_of(FileId::paramet, "1")});
    load(FileId::usuario, {record_of(FileId::usuario, kUser)});
    load(FileId::tabemar,
         {record_of(FileId::tabemar, "A01Marca Um"), record_of(FileId::tabemar, "B02Marca Dois")});
    load(FileId::produto, {product("000010", "A01", "000001", "Produto dez"),
                           product("000011", "A01", "000002", "Produto onze"),
                           product("000020", "B02", "000001", "Produto vinte")});
    load(FileId::histval, {history(layout::histval::record_length, "000010", "201901010001001"),
                           history(layout::histval::record_length, "000011", "201901010001001"),
                           history(layout::histval::record_length, "000020", "201901010001001")});
    load(FileId::histmov, {history(layout::histmov::record_length, "000010", "201901010001001"),
                           history(layout::histmov::record_length, "000011", "201901010001001"),
                           history(layout::histmov::record_length, "000020", "201901010001001")});
  }
  void TearDown() override {
    EXPECT_FALSE(qt::MessageBoxes::answers_pending()) << "a box the test expected was not shown";
    runtime_.reset();
    program_.reset();
    if (held_) held_->close();
    held_.reset();
    other_store_.reset();
    qt::MessageBoxes::reset();
    fs::remove_all(drive_);
  }

  fs::path path(FileId file) const {
    return vrx::map_catalogue_path(dravel::describe(file).catalogue_path, drive_);
  }
  void load(FileId file, const std::vector<std::string>& records) {
    std::string bytes;
    for (const auto& r : records) bytes += r;
    std::istringstream in(bytes);
    std::size_t loaded = 0;
    const vrx::AdminResult result =
        vrx::load_records(path(file), dravel::describe(file), in, loaded);
    ASSERT_TRUE(result.ok) << result.message;
  }
  // The primary keys of a file's records, in key order.
  std::vector<std::string> keys(FileId file) const {
    const vrx::FileDescription& d = dravel::describe(file);
    std::ostringstream out;
    EXPECT_TRUE(vrx::dump_records(path(file), d, 0, out).ok);
    const std::string bytes = out.str();
    std::vector<std::string> found;
    for (std::size_t at = 0; at + d.record_length <= bytes.size(); at += d.record_length) {
      std::string key = bytes.substr(at + d.keys[0].offset, d.keys[0].length);
      key.erase(key.find_last_not_of(' ') + 1);
      found.push_back(key);
    }
    return found;
  }

  // The window opens on the drive, as DRAVEL_MARKS starts it; on the
  // process's shared areas, as modules loaded into it see them, or on the
  // test's own.
  void open(bool process_areas = false) {
    store_.emplace(drive_);
    runtime_.emplace(dravel::dravel_marks_description(), diagnostics_);
    program_.emplace(*runtime_, *store_,
                     process_areas ? vantrexo::SharedAreaRegistry::process() : areas_);
    entry_ = program_->entry();
    runtime_->open(entry_);
    if (!runtime_->closed()) {
      ASSERT_TRUE(QTest::qWaitForWindowActive(runtime_->window()));
    }
  }
  // Another program holds product 000011.
  void hold_product_11() {
    other_store_.emplace(drive_);
    held_ = other_store_->open(dravel::describe(FileId::produto), vrx::OpenMode::input_output).file;
    ASSERT_NE(held_, nullptr);
    std::string area = record_of(FileId::produto, "000011");
    ASSERT_TRUE(held_->read(std::span<char>(area.data(), area.size())).ok());
  }

  QWidget* widget(std::string_view name) const { return runtime_->widget(name); }
  void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::keyClick(QApplication::focusWidget(), key, modifiers);
  }
  std::string shown(std::string_view name) const { return runtime_->text_of(name); }

  fs::path drive_;
  std::ostringstream diagnostics_;
  vantrexo::SharedAreaRegistry areas_;
  std::optional<vrx::SqliteFileStore> store_;
  std::optional<qt::QtFormRuntime> runtime_;
  std::optional<dravel::Program> program_;
  vantrexo::RoutingEntry entry_;
  std::vector<SeenBox> seen_;
  std::optional<vrx::SqliteFileStore> other_store_;
  std::unique_ptr<vrx::IndexedFile> held_;
};

// Type the code, Enter shows the brand and moves on, Enter deletes.
TEST_F(DravelMarksWindowTest, TheKeyboardRunDeletesTheBrandsProductsAndHistories) {
  open();
  QTest::keyClicks(widget("Ed_CODIMAR"), "A01");
  press(Qt::Key_Return);
  EXPECT_EQ(runtime_->focused(), "Bt_EXC");
  EXPECT_EQ(shown("Ds_MAR"), "Marca Um");

  qt::MessageBoxes::answer_next(qt::answer::ok);
  press(Qt::Key_Return);
  EXPECT_THAT(seen_, ElementsAre(SeenBox{48, "Fim da Eliminações !!!", ""}));
  EXPECT_EQ(shown("Frm_Dsp"), "");
  EXPECT_THAT(keys(FileId::produto), ElementsAre("000020"));
  EXPECT_THAT(keys(FileId::histval), ElementsAre("000020201901010001001"));
  EXPECT_THAT(keys(FileId::histmov), ElementsAre("000020201901010001001"));
  EXPECT_EQ(diagnostics_.str(), "");

  // The operator closes the window: the files are closed and the run ends.
  EXPECT_TRUE(runtime_->window()->close());
  EXPECT_TRUE(runtime_->closed());
  EXPECT_FALSE(program_->files().is_open(FileId::produto));
}

// Enter with Shift held is turned into Tab as well; the Shift takes it back.
TEST_F(DravelMarksWindowTest, ShiftEnterInTheCodeShowsTheBrandAndMovesBack) {
  open();
  QTest::keyClicks(widget("Ed_CODIMAR"), "B02");
  press(Qt::Key_Return, Qt::ShiftModifier);
  EXPECT_EQ(runtime_->focused(), "Command1");
  EXPECT_EQ(shown("Ds_MAR"), "Marca Dois");
}

TEST_F(DravelMarksWindowTest, AClickOnExcluiFromTheCodeShowsTheBrandThenDeletes) {
  open();
  QTest::keyClicks(widget("Ed_CODIMAR"), "B02");
  qt::MessageBoxes::answer_next(qt::answer::ok);
  QTest::mouseClick(widget("Bt_EXC"), Qt::LeftButton);
  EXPECT_EQ(shown("Ds_MAR"), "Marca Dois");
  EXPECT_THAT(seen_, ElementsAre(SeenBox{48, "Fim da Eliminações !!!", ""}));
  EXPECT_THAT(keys(FileId::produto), ElementsAre("000010", "000011"));
}

// Enter on the focused search button runs the search. Without a module
// loader the lookup cannot be called: one failure line, and the search goes
// on to give the focus back to the code.
TEST_F(DravelMarksWindowTest, EnterOnTheSearchButtonWithoutTheLookupReportsAndGoesOn) {
  open();
  press(Qt::Key_Tab);
  press(Qt::Key_Tab);
  ASSERT_EQ(runtime_->focused(), "Command1");
  press(Qt::Key_Return);
  const std::string report = diagnostics_.str();
  EXPECT_THAT(report, HasSubstr("module 999999-Quervilos.so not found\n"));
  EXPECT_EQ(std::count(report.begin(), report.end(), '\n'), 1) << report;
  EXPECT_EQ(runtime_->focused(), "Ed_CODIMAR");
  EXPECT_EQ(QApplication::focusWidget(), widget("Ed_CODIMAR"));
}

// The lookup form that a module loader runs leaves the code in L-LINK.
TEST_F(DravelMarksWindowTest, TheSearchShowsTheCodeTheLookupLeft) {
  open();
  runtime_->set_call_form_handler([this](std::string_view form, std::string_view, QWidget*) {
    EXPECT_EQ(form, "99-Qrv_Tabelas");
    std::span<char> link = areas_.attach("L-LINK", 332);
    std::copy_n("B02", 3, link.begin() + 22);  // LK-CODIGO
    return std::optional<std::string>();
  });
  QTest::mouseClick(widget("Command1"), Qt::LeftButton);
  EXPECT_EQ(shown("Ed_CODIMAR"), "B02");
  EXPECT_EQ(runtime_->focused(), "Ed_CODIMAR");
  EXPECT_EQ(diagnostics_.str(), "");
}

// The real lookup component, loaded by name from the module folder as
// DRAVEL_MARKS loads it, with the operator's keys in its list.
TEST_F(DravelMarksWindowTest, TheLookupModuleChoosesABrandOrNothing) {
  setenv("VANTREXO_DRIVE", drive_.c_str(), 1);  // where the module finds TABEMAR
  open(/*process_areas=*/true);
  runtime_->set_call_form_handler(
      [](std::string_view form, std::string_view module, QWidget* parent) {
        return vantrexo::run_form(form, module, parent);
      });
  // Keys for the list once it is up and has the focus: `keys` typed into its
  // filter, then `last`. A list that never comes up fails the test.
  const auto in_the_list = [](QString keys, Qt::Key last) {
    auto* poll = new QTimer;
    auto waited = std::make_shared<int>(0);
    QObject::connect(poll, &QTimer::timeout, [poll, waited, keys, last] {
      QDialog* list = nullptr;
      for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* d = qobject_cast<QDialog*>(w); d != nullptr && d->isVisible()) list = d;
      }
      QWidget* focus = list != nullptr ? list->focusWidget() : nullptr;
      if (focus == nullptr) {
        if (++*waited < 250) return;
        ADD_FAILURE() << "the list did not come up";
        if (list != nullptr) list->reject();
      } else {
        QTest::keyClicks(focus, keys);
        QTest::keyClick(focus, last);
        if (list->isVisible()) {
          ADD_FAILURE() << "the list is still open";
          list->reject();
        }
      }
      poll->stop();
      poll->deleteLater();
    });
    poll->start(20);
  };
  // A code typed before the search is not passed on: the list chooses.
  QTest::keyClicks(widget("Ed_CODIMAR"), "A01");
  in_the_list("dois", Qt::Key_Return);
  QTest::mouseClick(widget("Command1"), Qt::LeftButton);
  EXPECT_EQ(shown("Ed_CODIMAR"), "B02");
  EXPECT_EQ(shown("Ds_MAR"), "Marca Dois");
  EXPECT_EQ(runtime_->focused(), "Ed_CODIMAR");
  // Enter then moves on and reads the brand again (the window active again,
  // as the desktop makes it when the list closes).
  runtime_->window()->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(runtime_->window()));
  press(Qt::Key_Return);
  EXPECT_EQ(runtime_->focused(), "Bt_EXC");
  EXPECT_EQ(shown("Ds_MAR"), "Marca Dois");

  // Esc chooses nothing: the code and the description are emptied.
  in_the_list("um", Qt::Key_Escape);
  QTest::mouseClick(widget("Command1"), Qt::LeftButton);
  EXPECT_EQ(shown("Ed_CODIMAR"), "");
  EXPECT_EQ(shown("Ds_MAR"), "");
  EXPECT_EQ(runtime_->focused(), "Ed_CODIMAR");
  EXPECT_EQ(diagnostics_.str(), "");
}

// Another program holds a product: Yes reads it again (still held), No ends
// the run; the product being worked on stays shown while the prompt waits.
TEST_F(DravelMarksWindowTest, TheLockedRecordPromptAnsweredYesThenNo) {
  hold_product_11();
  open();
  QTest::keyClicks(widget("Ed_CODIMAR"), "A01");
  press(Qt::Key_Return);
  qt::MessageBoxes::answer_next(qt::answer::yes);
  qt::MessageBoxes::answer_next(qt::answer::no);
  qt::MessageBoxes::answer_next(qt::answer::ok);
  press(Qt::Key_Return);
  const SeenBox prompt{36, "Registro sendo acessado. Tenta novamente ?", "Produto dez"};
  EXPECT_THAT(seen_, ElementsAre(prompt, prompt, SeenBox{48, "Fim da Eliminações !!!", ""}));
  EXPECT_EQ(program_->fields().w_resposta, 7);
  EXPECT_THAT(keys(FileId::produto), ElementsAre("000011", "000020"));
  EXPECT_THAT(keys(FileId::histval), ElementsAre("000011201901010001001", "000020201901010001001"));
}

// A missing file at start: the box, then the form closes itself and the
// run ends without waiting for the operator.
TEST_F(DravelMarksWindowTest, AStartUpErrorClosesTheForm) {
  fs::remove(path(FileId::histval));
  qt::MessageBoxes::answer_next(qt::answer::ok);
  store_.emplace(drive_);
  runtime_.emplace(dravel::dravel_marks_description(), diagnostics_);
  program_.emplace(*runtime_, *store_, areas_);
  entry_ = program_->entry();
  EXPECT_EQ(runtime_->run(entry_), 0);
  ASSERT_EQ(seen_.size(), 1u);
  EXPECT_EQ(seen_[0].style, 16);
  EXPECT_THAT(seen_[0].text, HasSubstr("HISTVAL"));
  EXPECT_TRUE(runtime_->closed());
  EXPECT_FALSE(runtime_->window()->isVisible());
  EXPECT_FALSE(program_->files().is_open(FileId::produto));
}

// A few points of the drawn window: the form's teal, the bands and the boxes.
TEST_F(DravelMarksWindowTest, TheWindowIsDrawnInItsColours) {
  open();
  const QImage image = runtime_->window()->grab().toImage();
  ASSERT_EQ(image.size(), QSize(418, 169));
  struct Point {
    const char* what;
    int x, y;
    QColor colour;
  };
  for (const Point& p : {Point{"form", 245, 90, QColor(0, 128, 128)},
                         Point{"form, right edge", 414, 165, QColor(0, 128, 128)},
                         Point{"display band", 200, 145, QColor(192, 192, 192)},
                         Point{"display band's edge", 8, 140, QColor(128, 0, 0)},
                         Point{"warning band", 405, 12, QColor(236, 233, 217)},
                         Point{"warning band's edge", 8, 30, QColor(255, 255, 0)},
                         Point{"code box", 30, 100, QColor(255, 255, 255)},
                         Point{"description box", 150, 100, QColor(255, 255, 255)},
                         Point{"brand frame", 229, 95, QColor(240, 240, 240)}}) {
    EXPECT_EQ(image.pixelColor(p.x, p.y).name().toStdString(), p.colour.name().toStdString())
        << p.what;
  }
  // The warning text is black on beige, though its band is disabled.
  int black = 0;
  for (int x = 60; x < 400; ++x) {
    for (int y = 16; y < 46; ++y) black += image.pixelColor(x, y) == QColor(0, 0, 0) ? 1 : 0;
  }
  EXPECT_GT(black, 300);
}

}  // namespace
