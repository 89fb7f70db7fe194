// Fixture verbs of the window tests: a fresh temporary program folder with a
// small food catalogue and the code tables, the main window and the data
// module made the way the program makes them, message boxes answered by a
// script that records every one, mouse and key input sent to the widgets,
// and the rows of a table file read straight from its bytes.
//
// The tests run on Qt's offscreen platform (set here unless QT_QPA_PLATFORM
// names another one).
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QStringList>
#include <QWidget>

#include <cstdint>
#include <cstdio>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "data/dm1.h"
#include "storage/table_object.h"
#include "catalogue_file.h"
#include "test_util.h"
#include "ui/application.h"
#include "ui/grid/db_grid.h"
#include "ui/food_data_page.h"
#include "ui/food_page.h"
#include "ui/intro_page.h"
#include "ui/main_window.h"
#include "ui/make_tables_page.h"
#include "ui/message_boxes.h"
#include "ui/progress_page.h"
#include "ui/result_page.h"
#include "ui/user_page.h"
#include "ui/weight_page.h"
#include "ui_food_data_page.h"
#include "ui_food_page.h"
#include "ui_main_window.h"
#include "ui_make_tables_page.h"
#include "ui_progress_page.h"
#include "ui_result_page.h"
#include "ui_user_page.h"
#include "ui_weight_page.h"

namespace kalbor::test {

inline void QuietOffscreenNotes(QtMsgType type, const QMessageLogContext& context,
                                const QString& message) {
  if (message.startsWith("This plugin does not support")) return;
  fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
}

// Collects what QAbstractItemModelTester reports about a model (run in its
// Warning mode) while it lives.
class ModelFailures {
 public:
  ModelFailures() {
    failures_.clear();
    previous_ = qInstallMessageHandler(&Record);
  }
  ~ModelFailures() { qInstallMessageHandler(previous_); }
  ModelFailures(const ModelFailures&) = delete;
  ModelFailures& operator=(const ModelFailures&) = delete;
  const QStringList& List() const { return failures_; }

 private:
  static void Record(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (context.category && QByteArray(context.category) == "qt.modeltest" &&
        type >= QtWarningMsg)
      failures_ << message;
  }
  static inline QStringList failures_;
  QtMessageHandler previous_;
};

class TUiEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(QuietOffscreenNotes);
    static int argc = 1;
    static char name[] = "kalbor_ui_test";
    static char* argv[] = {name, nullptr};
    // The program's own application object, so errors escaping a handler
    // reach its error display as they do in the program.
    app_ = std::make_unique<TApplication>(argc, argv);
  }
  void TearDown() override { app_.reset(); }

 private:
  std::unique_ptr<TApplication> app_;
};

inline ::testing::Environment* const kUiEnvironment =
    ::testing::AddGlobalTestEnvironment(new TUiEnvironment);

// A message box the program showed.
struct TShownMessage {
  std::string text, caption;
  TMsgIcon icon;
  TMsgButtons buttons;
  TModalResult default_button;
};

// One row of a table file, field name to its trimmed text, plus whether the
// row is marked deleted.
struct TFileRow {
  bool deleted = false;
  std::map<std::string, std::string> fields;
  const std::string& operator[](const std::string& field) const { return fields.at(field); }
};

class UiTest : public ::testing::Test {
 protected:
  TempDir dir;
  std::unique_ptr<TForm1> form;
  std::unique_ptr<TDM1> dm;
  std::vector<TShownMessage> messages;
  std::deque<TModalResult> answers;  // answers to the next boxes; OK-only boxes take none

  void SetUp() override {
    SetMessageBoxScript([this](const std::string& text, const std::string& caption, TMsgIcon icon,
                               TMsgButtons buttons, TModalResult default_button) {
      messages.push_back({text, caption, icon, buttons, default_button});
      if (buttons == TMsgButtons::OK) return TModalResult::OK;
      if (answers.empty()) {
        ADD_FAILURE() << "unexpected question: " << text;
        return default_button;
      }
      TModalResult answer = answers.front();
      answers.pop_front();
      return answer;
    });
  }

  void TearDown() override {
    form.reset();
    dm.reset();
    SetMessageBoxScript({});
  }

  std::string File(const std::string& name) const { return dir / name; }

  void WriteCatalogue(const std::vector<TCatalogueRow>& products) {
    WriteCatalogueFile(dir.path(), products);
  }

  // The program's start: window, data module (with MEALTYPE.DBF and
  // FOODGROUPS.DBF unless told otherwise), then the window is shown.
  void Start(bool code_tables = true) {
    form = std::make_unique<TForm1>(dir.path());
    dm = std::make_unique<TDM1>(*form);
    dm->DM1Create(dir.path());
    if (code_tables) {
      dm->MakeTableByNumber(tnMealType);
      dm->MakeTableByNumber(tnFoodGroups);
    }
    form->SetDataModule(dm.get());
    form->show();
    form->activateWindow();
    Settle();
  }

  // The frame's widgets, and each page's.
  Ui::Form1& ui() { return form->Form(); }
  Ui::UserPage& users() { return form->UserPage().Form(); }
  Ui::FoodPage& food() { return form->FoodPage().Form(); }
  Ui::CaloriePage& catalogue() { return form->FoodDataPage().Form(); }
  Ui::ResultPage& result() { return form->ResultPage().Form(); }
  Ui::TestPage& tables() { return form->MakeTablesPage().Form(); }
  Ui::EnterWeigth& weight() { return form->WeightPage().Form(); }
  Ui::ProgressPage& progress() { return form->ProgressPage().Form(); }
  static void Settle() { QApplication::processEvents(); }

  // Chooses a food group in the group list (its after-scroll hook runs).
  void ChooseGroup(int32_t group) {
    ASSERT_TRUE(dm->FoodGroupDbf.Active());
    ASSERT_TRUE(dm->FoodGroupDbf.Locate("GROUP_ID", TVariant(double(group)), 0));
  }

  // --- Input ----------------------------------------------------------------

  static void SendClick(QWidget* target, QPoint at, bool double_click = false) {
    QPointF local(at), global(target->mapToGlobal(at));
    QMouseEvent press(QEvent::MouseButtonPress, local, global, Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(target, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, local, global, Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(target, &release);
    if (!double_click) return;
    QMouseEvent twice(QEvent::MouseButtonDblClick, local, global, Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(target, &twice);
    QMouseEvent release2(QEvent::MouseButtonRelease, local, global, Qt::LeftButton, Qt::NoButton,
                         Qt::NoModifier);
    QApplication::sendEvent(target, &release2);
  }

  // A click in the middle of a grid cell.
  static void ClickCell(TDBGrid* grid, int row, int column, bool double_click = false) {
    QModelIndex index = grid->model()->index(row, column);
    ASSERT_TRUE(index.isValid()) << "no cell " << row << "," << column;
    grid->scrollTo(index);
    SendClick(grid->viewport(), grid->visualRect(index).center(), double_click);
  }

  // A click on a column title.
  static void ClickTitle(TDBGrid* grid, int column) {
    QHeaderView* header = grid->horizontalHeader();
    int x = header->sectionViewportPosition(column) + header->sectionSize(column) / 2;
    SendClick(header->viewport(), QPoint(x, header->height() / 2));
  }

  // A key pressed and released on `target` (the widget with the focus
  // receives it the same way).
  static void PressKey(QWidget* target, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier,
                       const QString& text = QString()) {
    QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers, text);
    QApplication::sendEvent(target, &release);
  }

  // Typing text: each character a key press to the widget that has the
  // focus (or to `target` when nothing has it).
  static void TypeText(QWidget* target, const QString& text) {
    for (QChar c : text) {
      QWidget* focused = QApplication::focusWidget();
      int key = c.isLetter() ? Qt::Key_A + (c.toUpper().unicode() - 'A')
                             : (c.isDigit() ? Qt::Key_0 + (c.unicode() - '0') : c.unicode());
      PressKey(focused ? focused : target, key, Qt::NoModifier, QString(c));
    }
  }

  // --- Files ----------------------------------------------------------------

  // Every record of a table file, read from its bytes (not through the table
  // layer, and without regard to its locks): what was stored, and no more.
  std::vector<TFileRow> FileRows(const std::string& name) const {
    std::vector<uint8_t> bytes = ReadBytes(File(name));
    std::vector<TFileRow> rows;
    if (bytes.size() < 32) return rows;
    const size_t header = bytes[8] | (bytes[9] << 8);
    const size_t length = bytes[10] | (bytes[11] << 8);
    struct Field {
      std::string name;
      size_t offset, size;
    };
    std::vector<Field> fields;
    size_t offset = 1;
    for (size_t d = 32; d + 32 <= header && bytes[d] != 0x0D; d += 32) {
      std::string field_name(reinterpret_cast<const char*>(&bytes[d]));
      if (field_name.size() > 10) field_name.resize(10);
      size_t size = bytes[d + 16];
      fields.push_back({field_name, offset, size});
      offset += size;
    }
    if (length == 0) return rows;
    for (size_t at = header; at + length <= bytes.size(); at += length) {
      TFileRow row;
      row.deleted = bytes[at] == '*';
      for (const Field& f : fields) {
        std::string text(reinterpret_cast<const char*>(&bytes[at + f.offset]), f.size);
        size_t first = text.find_first_not_of(' ');
        size_t last = text.find_last_not_of(' ');
        row.fields[f.name] = first == std::string::npos ? "" : text.substr(first, last - first + 1);
      }
      rows.push_back(row);
    }
    return rows;
  }

  // The live records of a table file.
  std::vector<TFileRow> LiveFileRows(const std::string& name) const {
    std::vector<TFileRow> live;
    for (TFileRow& row : FileRows(name))
      if (!row.deleted) live.push_back(std::move(row));
    return live;
  }

  // The texts the grid shows in one column, top to bottom.
  static std::vector<std::string> GridColumn(TDBGrid* grid, int column) {
    std::vector<std::string> texts;
    QAbstractItemModel* model = grid->model();
    for (int row = 0; row < model->rowCount(); ++row)
      texts.push_back(model->index(row, column).data(Qt::EditRole).toString().toStdString());
    return texts;
  }
};

}  // namespace kalbor::test

#include <QAbstractItemView>
#include <QCalendarWidget>
#include <QDate>
#include <QLocale>

#include "storage/dates.h"

namespace kalbor::test {

// The diary pages (food entry and result): a catalogue, users, one of them
// picked on the user page, and the calendar and food entry verbs.
class DiaryPagesTest : public UiTest {
 protected:
  // Dates and day names as in the United States, set as the program's entry
  // sets them from the locale.
  DiaryPagesTest() {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    FormatSettings().short_date_format = ShortDateFormat().toStdString();
  }

  // The catalogue, a start without a remembered user (as after the selected
  // user was deleted), the users, and the first of them picked on the user
  // page: that opens the user's diary and builds the product list.
  void StartWithUser(const std::vector<TCatalogueRow>& products,
                     const std::vector<std::pair<int32_t, std::string>>& users = {{1, "Anna"}}) {
    WriteCatalogue(products);
    WriteSettings("[User]\nUser_ID=0\n");
    Start();
    for (const auto& [id, name] : users) {
      dm->UserDbf.Append();
      dm->UserDbfUSERNAME->SetAsString(name);
      dm->UserDbfUSER_ID->SetAsInteger(id);
      dm->UserDbfCOUNT->SetAsInteger(0);
      dm->UserDbf.Post();
    }
    if (!users.empty()) PickUser(users.front().first);
  }

  void WriteSettings(const std::string& text) { WriteBytes(File("KALBOR.INI"), {text.begin(), text.end()}); }

  // "Select" on the user page with the user's row current.
  void PickUser(int32_t id) {
    form->UserPage().UserDataClick();
    ASSERT_TRUE(dm->UserDbf.Locate("USER_ID", TVariant(double(id)), 0));
    form->UserPage().UserSelClick();
    form->UserPage().AddUserClick();
    ASSERT_EQ(form->CurrentUserId(), id);
  }

  static QDate Day(int y, int m, int d) { return QDate(y, m, d); }
  static int32_t Serial(const QDate& date) {
    return DateToSerial(date.year(), date.month(), date.day());
  }

  // --- Calendar -------------------------------------------------------------

  QAbstractItemView* CalendarDays() {
    return ui().MonthCalendar1->findChild<QAbstractItemView*>("qt_calendar_calendarview");
  }

  // The cell of `date` in the month the calendar shows (after the row of day
  // names and the column of week numbers).
  QModelIndex CalendarCell(const QDate& date) {
    QCalendarWidget* calendar = ui().MonthCalendar1;
    if (date.year() != calendar->yearShown() || date.month() != calendar->monthShown())
      return QModelIndex();
    QAbstractItemModel* model = CalendarDays()->model();
    int firsts = 0;
    for (int row = 1; row < model->rowCount(); ++row)
      for (int column = 1; column < model->columnCount(); ++column) {
        int day = model->index(row, column).data().toInt();
        if (day == 1) ++firsts;
        if (firsts == 1 && day == date.day()) return model->index(row, column);
      }
    return QModelIndex();
  }

  // A person's click on a day of the month shown.
  void ClickDay(const QDate& date) {
    QModelIndex cell = CalendarCell(date);
    ASSERT_TRUE(cell.isValid()) << date.toString(Qt::ISODate).toStdString() << " is not shown";
    QAbstractItemView* days = CalendarDays();
    SendClick(days->viewport(), days->visualRect(cell).center());
    Settle();
  }

  bool IsBold(const QDate& date) {
    return ui().MonthCalendar1->dateTextFormat(date).fontWeight() == QFont::Bold;
  }

  QString DateText(const QDate& date) const { return QLocale().toString(date, ShortDateFormat()); }

  // --- Food entry -----------------------------------------------------------

  // A click on the product's row in the product grid.
  void PickProduct(const std::string& name) {
    std::vector<std::string> names = GridColumn(food().DBGrid4, 0);
    for (size_t row = 0; row < names.size(); ++row)
      if (names[row] == name) return ClickCell(food().DBGrid4, static_cast<int>(row), 0);
    ADD_FAILURE() << "no product " << name << " in the product grid";
  }

  // A day, a meal, a product and a quantity, then "&Add Food".
  void AddFood(const QDate& date, int meal, const std::string& product, const QString& quantity) {
    form->SetCalendarDate(Serial(date));
    food().FoodKind->SetItemIndex(meal);
    PickProduct(product);
    food().Edit5->setText(quantity);
    food().Button1->click();
    Settle();
  }

  std::vector<TFileRow> DiaryFile() { return LiveFileRows(UserFileName(form->CurrentUserId())); }

  // The rows the diary grid shows, each as its five texts.
  std::vector<std::vector<std::string>> DiaryGrid() {
    std::vector<std::vector<std::string>> rows;
    QAbstractItemModel* model = food().DBGrid3->model();
    for (int row = 0; row < model->rowCount(); ++row) {
      std::vector<std::string> cells;
      for (int column = 0; column < model->columnCount(); ++column)
        cells.push_back(model->index(row, column).data().toString().toStdString());
      rows.push_back(cells);
    }
    return rows;
  }

  std::vector<std::string> Titles(TDBGrid* grid) {
    std::vector<std::string> titles;
    for (int c = 0; c < grid->model()->columnCount(); ++c)
      titles.push_back(grid->model()->headerData(c, Qt::Horizontal).toString().toStdString());
    return titles;
  }

  std::vector<int> Widths(TDBGrid* grid) {
    std::vector<int> widths;
    for (int c = 0; c < grid->model()->columnCount(); ++c) widths.push_back(grid->columnWidth(c));
    return widths;
  }

  Qt::Alignment TitleAlignment(TDBGrid* grid, int column) {
    return grid->model()->headerData(column, Qt::Horizontal, Qt::TextAlignmentRole).value<Qt::Alignment>();
  }

  // The message boxes shown since the last call, as "caption: text".
  std::vector<std::string> TakeMessages() {
    std::vector<std::string> out;
    for (const TShownMessage& m : messages) out.push_back(m.caption + ": " + m.text);
    messages.clear();
    return out;
  }
};

}  // namespace kalbor::test
