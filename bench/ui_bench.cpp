// The food entry, result, weight and progress pages with a diary of ten
// years (36,500 rows, ten a day), a weight on each of its 3,650 days and a
// catalogue of 8,000 products (500 of them in the product list), on Qt's
// offscreen platform, against R: reading the diary record by record, one
// pread per record; the catalogue search against the catalogue read the
// same way. Each figure is one action of a person, including the
// repaint it causes.
#include <QAbstractItemView>
#include <QApplication>
#include <QCalendarWidget>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <fstream>
#include <memory>

#include "bench/bench_util.h"
#include "data/dm1.h"
#include "storage/dates.h"
#include "ui/food_data_page.h"
#include "ui/food_page.h"
#include "ui/main_window.h"
#include "ui/message_boxes.h"
#include "ui/progress_page.h"
#include "ui/result_page.h"
#include "ui/user_page.h"
#include "ui/weight_page.h"
#include "ui_food_data_page.h"
#include "ui_food_page.h"
#include "ui_main_window.h"
#include "ui_progress_page.h"
#include "ui_weight_page.h"

namespace kalbor::bench {
namespace {

constexpr int kDiaryRows = 36500;
constexpr int kProducts = 8000;
constexpr int kMarked = 500;
constexpr int kWeightDays = 3650;

// The program as a person has it after picking user 1: the window shown on
// a folder with the diary, the catalogue and the code tables.
struct TSetup {
  std::string folder;
  std::unique_ptr<QApplication> app;
  std::unique_ptr<TForm1> form;
  std::unique_ptr<TDM1> dm;

  TSetup() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "ui_bench";
    static char* argv[] = {name, nullptr};
    app = std::make_unique<QApplication>(argc, argv);
    FormatSettings().short_date_format = ShortDateFormat().toStdString();
    // Every question is answered OK.
    SetMessageBoxScript([](const std::string&, const std::string&, TMsgIcon, TMsgButtons,
                           TModalResult) { return TModalResult::OK; });

    folder = BenchFolder();
    MakeDiary(folder, UserFileName(1), kDiaryRows);
    MakeWeights(folder, WeightFileName(1), kWeightDays);
    MakeCatalogue(folder, kProducts, kMarked);
    // No remembered user: the first start picks user 1 and builds the list.
    std::ofstream(folder + "KALBOR.INI") << "[User]\nUser_ID=0\n";
    form = std::make_unique<TForm1>(folder);
    dm = std::make_unique<TDM1>(*form);
    dm->DM1Create(folder);
    dm->MakeTableByNumber(tnMealType);
    dm->MakeTableByNumber(tnFoodGroups);
    dm->UserDbf.Append();
    dm->UserDbfUSER_ID->SetAsInteger(1);
    dm->UserDbfUSERNAME->SetAsString("Bench");
    dm->UserDbf.Post();
    dm->UserDbf.First();
    // The diary's last year, with a target some days are over.
    form->SetCurrentUserId(1);
    form->SetCurrentUser(1, "Bench");
    dm->SetDailyTarget("4500");
    form->SetDataModule(dm.get());
    form->show();
    form->SetCalendarDate(DateToSerial(2020, 3, 14));
    QApplication::processEvents();
  }

  ~TSetup() {
    form.reset();
    dm.reset();
    SetMessageBoxScript({});
  }

  Ui::Form1& ui() { return form->Form(); }
  Ui::FoodPage& food() { return form->FoodPage().Form(); }
  Ui::CaloriePage& catalogue() { return form->FoodDataPage().Form(); }
};

TSetup& Setup() {
  static TSetup setup;
  return setup;
}

void Paint() { QApplication::processEvents(); }

// A person's click in the middle of a day's cell of the calendar.
void ClickDay(TSetup& s, int day) {
  auto* view = s.ui().MonthCalendar1->findChild<QAbstractItemView*>("qt_calendar_calendarview");
  QAbstractItemModel* model = view->model();
  int firsts = 0;
  for (int row = 1; row < model->rowCount(); ++row)
    for (int column = 1; column < model->columnCount(); ++column) {
      QModelIndex cell = model->index(row, column);
      int d = cell.data().toInt();
      if (d == 1) ++firsts;
      if (firsts != 1 || d != day) continue;
      QPointF at = view->visualRect(cell).center();
      QPointF global = view->viewport()->mapToGlobal(at);
      QMouseEvent press(QEvent::MouseButtonPress, at, global, Qt::LeftButton, Qt::LeftButton,
                        Qt::NoModifier);
      QApplication::sendEvent(view->viewport(), &press);
      QMouseEvent release(QEvent::MouseButtonRelease, at, global, Qt::LeftButton, Qt::NoButton,
                          Qt::NoModifier);
      QApplication::sendEvent(view->viewport(), &release);
      return;
    }
}

void BM_R(benchmark::State& state) {
  const std::string path = Setup().dm->FolderFile(UserFileName(1));
  for (auto _ : state) ReadRecordByRecord(path);
}

void BM_CatalogueR(benchmark::State& state) {
  const std::string path = Setup().dm->FolderFile(kFoodCalFile);
  for (auto _ : state) ReadRecordByRecord(path);
}

void BM_ShowFoodPage(benchmark::State& state) {
  TSetup& s = Setup();
  for (auto _ : state) {
    s.form->FoodPage().EnterFoodClick();
    Paint();
  }
}

void BM_ShowResultPage(benchmark::State& state) {
  TSetup& s = Setup();
  for (auto _ : state) {
    s.form->ResultPage().Result1Click();
    Paint();
  }
}

void BM_AddFood(benchmark::State& state) {
  TSetup& s = Setup();
  s.form->FoodPage().EnterFoodClick();
  s.form->SetCalendarDate(DateToSerial(2020, 3, 14));
  s.food().Edit5->setText("150");
  for (auto _ : state) {
    s.food().Button1->click();
    Paint();
  }
}

void BM_DeleteFood(benchmark::State& state) {
  TSetup& s = Setup();
  s.form->FoodPage().EnterFoodClick();
  for (auto _ : state) {
    s.food().Button2->click();
    Paint();
  }
}

void BM_CalendarClick(benchmark::State& state) {
  TSetup& s = Setup();
  s.form->ResultPage().Result1Click();
  Paint();
  int day = 10;
  for (auto _ : state) {
    ClickDay(s, day);
    Paint();
    day = day == 10 ? 11 : 10;
  }
}

// A click on a day of the food entry page's calendar in the next month: the
// date box follows and the calendar asks again for its bold days.
void BM_CalendarClickFoodPage(benchmark::State& state) {
  TSetup& s = Setup();
  s.form->FoodPage().EnterFoodClick();
  Paint();
  bool april = true;
  for (auto _ : state) {
    s.form->SetCalendarDate(april ? DateToSerial(2020, 4, 14) : DateToSerial(2020, 3, 14));
    s.form->FoodPage().MonthCalendar1Click();
    Paint();
    april = !april;
  }
}

void BM_ShowUserPage(benchmark::State& state) {
  TSetup& s = Setup();
  for (auto _ : state) {
    s.form->UserPage().UserDataClick();
    Paint();
  }
}

void BM_ShowFoodDataPage(benchmark::State& state) {
  TSetup& s = Setup();
  for (auto _ : state) {
    s.form->FoodDataPage().FoodData1Click();
    Paint();
  }
}

// A click on a catalogue column title: the catalogue is reopened and its
// index built anew on that column (8,000 products), by name and by kcal
// in turn.
void BM_SortCatalogue(benchmark::State& state) {
  TSetup& s = Setup();
  s.form->FoodDataPage().FoodData1Click();
  Paint();
  const int name_column = 3, kcal_column = 5;
  bool by_name = true;
  for (auto _ : state) {
    s.form->FoodDataPage().DBGrid2TitleClick(by_name ? name_column : kcal_column);
    Paint();
    by_name = !by_name;
  }
}

// One keystroke in the food data page's search box, from the grid's first
// row: the box holds `typed`, with the names read as the box reads them
// while the person is not typing (on getting the focus, and after a change
// of the catalogue), and the key `last` is typed. `order_column` is the
// column the catalogue is sorted by (-1: file order).
void TypeLastKeyOfSearch(benchmark::State& state, int order_column, const QString& typed,
                         char last) {
  TSetup& s = Setup();
  s.form->FoodDataPage().FoodData1Click();
  if (order_column >= 0) s.form->FoodDataPage().DBGrid2TitleClick(order_column);
  Paint();
  QLineEdit* box = s.catalogue().FindEdit;
  box->setFocus();
  for (auto _ : state) {
    state.PauseTiming();
    box->blockSignals(true);
    box->setText(typed);
    box->blockSignals(false);
    s.dm->FoodCalDbf.First();
    s.dm->PrepareCatalogueSearch();
    Paint();
    state.ResumeTiming();
    QKeyEvent press(QEvent::KeyPress, Qt::Key_0 + (last - '0'), Qt::NoModifier, QString(last));
    QApplication::sendEvent(box, &press);
    Paint();
  }
  state.counters["search_kB"] = static_cast<double>(s.dm->CatalogueSearchBytes()) / 1024;
}

// The catalogue's last product, "Product 3901" (MakeCatalogue), is the only
// name holding "3901": the keystroke compares every name and the grid moves
// to the last row and repaints.
void BM_SearchCatalogueKeystroke(benchmark::State& state) {
  TypeLastKeyOfSearch(state, -1, "390", '1');
  if (Setup().dm->FoodCalDbfNAME->AsString() != "Product 3901") state.SkipWithError("not found");
}

// Sorted by name, a text no product holds: every name is compared, the grid
// stays and the box is coloured.
void BM_SearchCatalogueKeystrokeByName(benchmark::State& state) {
  const int name_column = 3;
  TypeLastKeyOfSearch(state, name_column, "product 800", '1');
  if (!Setup().dm->FoodCalDbf.Bookmark()) state.SkipWithError("no row");
}

// What the box does while the person is not typing, after the catalogue
// changed: the names read again, in the order of the name index.
void BM_ReadCatalogueNamesByName(benchmark::State& state) {
  TSetup& s = Setup();
  s.form->FoodDataPage().FoodData1Click();
  const int name_column = 3;
  s.form->FoodDataPage().DBGrid2TitleClick(name_column);
  Paint();
  for (auto _ : state) {
    state.PauseTiming();
    // A product's mark stored (and put back next round): the names are
    // stale.
    s.dm->ToggleProductField("USED");
    Paint();
    state.ResumeTiming();
    s.dm->PrepareCatalogueSearch();
  }
}

// The progress page for the diary's last 365 days: the daily totals, the
// weights and the target, the chart drawn.
void ShowYearOfProgress(TSetup& s) {
  s.form->SetCalendarDate(DateToSerial(2024, 12, 31));
  s.form->ProgressPage().Form().YearBtn->setChecked(true);
  s.form->ProgressPage().Progress1Click();
  Paint();
}

void BM_ShowProgressPage(benchmark::State& state) {
  TSetup& s = Setup();
  for (auto _ : state) ShowYearOfProgress(s);
}

// "&Add Food" on the food entry page (not timed), then the progress page
// shown again with the new row in its last day.
void BM_ProgressAfterAddFood(benchmark::State& state) {
  TSetup& s = Setup();
  for (auto _ : state) {
    state.PauseTiming();
    s.form->FoodPage().EnterFoodClick();
    s.form->SetCalendarDate(DateToSerial(2024, 12, 31));
    s.food().Edit5->setText("150");
    s.food().Button1->click();
    Paint();
    state.ResumeTiming();
    ShowYearOfProgress(s);
  }
}

// "Add &Weight" on a day that has none yet (each round a day further on),
// with the chart of 3,650 weights and more drawn again.
void BM_AddWeight(benchmark::State& state) {
  TSetup& s = Setup();
  s.form->WeightPage().EnterWeight1Click();
  Paint();
  int32_t day = DateToSerial(2025, 1, 1);
  for (auto _ : state) {
    s.form->SetCalendarDate(day++);
    s.form->WeightPage().Form().WeightEdit->setText("80.5");
    s.form->WeightPage().AddWeightClick();
    Paint();
  }
}

void BM_RepaintDiaryGrid(benchmark::State& state) {
  TSetup& s = Setup();
  s.form->FoodPage().EnterFoodClick();
  Paint();
  for (auto _ : state) s.food().DBGrid3->viewport()->repaint();
}

}  // namespace
}  // namespace kalbor::bench

int main(int argc, char** argv) {
  using namespace kalbor::bench;
  const auto ms = benchmark::kMillisecond;
  benchmark::RegisterBenchmark("R/diary_record_by_record", BM_R)->Unit(ms);
  benchmark::RegisterBenchmark("show_food_page", BM_ShowFoodPage)->Unit(ms);
  benchmark::RegisterBenchmark("show_result_page", BM_ShowResultPage)->Unit(ms);
  benchmark::RegisterBenchmark("add_food", BM_AddFood)->Unit(ms);
  benchmark::RegisterBenchmark("delete_food", BM_DeleteFood)->Unit(ms);
  benchmark::RegisterBenchmark("calendar_click_result_page", BM_CalendarClick)->Unit(ms);
  benchmark::RegisterBenchmark("calendar_click_food_page", BM_CalendarClickFoodPage)->Unit(ms);
  benchmark::RegisterBenchmark("show_user_page", BM_ShowUserPage)->Unit(ms);
  benchmark::RegisterBenchmark("show_food_data_page", BM_ShowFoodDataPage)->Unit(ms);
  benchmark::RegisterBenchmark("sort_catalogue_click", BM_SortCatalogue)->Unit(ms);
  benchmark::RegisterBenchmark("repaint_diary_grid", BM_RepaintDiaryGrid)->Unit(ms);
  benchmark::RegisterBenchmark("R/catalogue_record_by_record", BM_CatalogueR)->Unit(ms);
  benchmark::RegisterBenchmark("search_catalogue_keystroke", BM_SearchCatalogueKeystroke)
      ->Unit(ms);
  benchmark::RegisterBenchmark("search_catalogue_keystroke_by_name",
                               BM_SearchCatalogueKeystrokeByName)
      ->Unit(ms);
  benchmark::RegisterBenchmark("read_catalogue_names_by_name", BM_ReadCatalogueNamesByName)
      ->Unit(ms);
  benchmark::RegisterBenchmark("show_progress_page_365_days", BM_ShowProgressPage)->Unit(ms);
  benchmark::RegisterBenchmark("progress_page_after_add_food", BM_ProgressAfterAddFood)->Unit(ms);
  benchmark::RegisterBenchmark("add_weight", BM_AddWeight)->Unit(ms);
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const std::string R = "R/diary_record_by_record";
  const std::string catalogue_R = "R/catalogue_record_by_record";
  reporter.PrintRatios({{"show_food_page", R},
                        {"show_result_page", R},
                        {"add_food", R},
                        {"delete_food", R},
                        {"calendar_click_result_page", R},
                        {"calendar_click_food_page", R},
                        {"show_user_page", R},
                        {"show_food_data_page", R},
                        {"sort_catalogue_click", R},
                        {"repaint_diary_grid", R},
                        {"search_catalogue_keystroke", catalogue_R},
                        {"search_catalogue_keystroke_by_name", catalogue_R},
                        {"read_catalogue_names_by_name", catalogue_R},
                        {"show_progress_page_365_days", R},
                        {"progress_page_after_add_food", R},
                        {"add_weight", R}},
                       {{"search_catalogue_keystroke", 1.0},
                        {"search_catalogue_keystroke_by_name", 1.0},
                        {"show_progress_page_365_days", 3.0},
                        {"progress_page_after_add_food", 3.0},
                        {"add_weight", 1.0}});
  benchmark::Shutdown();
  return 0;
}
