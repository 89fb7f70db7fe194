// The weight and progress pages driven as a person drives them: weights
// typed and added for the calendar's date, replaced after asking, refused,
// deleted from the grid; the weight chart's series; the daily target set on
// the progress page and kept across a restart; the progress chart and its
// words for the period chosen.
#include <QAbstractItemModelTester>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QLabel>
#include <QLineSeries>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedBarSeries>

#include "ui/ui_fixture.h"

namespace kalbor {
namespace {

using test::DiaryPagesTest;
using test::TCatalogueRow;
using Strings = std::vector<std::string>;

// 100 kcal per 100 g: the quantity in grams is the kilocalories.
const std::vector<TCatalogueRow> kProducts = {{12, true, 1, "Porridge", 100, "Home"}};

class ProgressPagesTest : public DiaryPagesTest {
 protected:
  void StartAndWeigh() {
    StartWithUser(kProducts, {{1, "Anna"}, {2, "Ben"}});
    form->WeightPage().EnterWeight1Click();
    messages.clear();
  }

  // A day clicked in the calendar, a weight typed, "Add &Weight".
  void AddWeight(const QDate& day, const QString& typed) {
    form->SetCalendarDate(Serial(day));
    ClickDay(day);
    weight().WeightEdit->setFocus();
    weight().WeightEdit->clear();
    TypeText(weight().WeightEdit, typed);
    weight().AddWeightBtn->click();
    Settle();
  }

  std::vector<std::vector<std::string>> WeightGrid() {
    std::vector<std::vector<std::string>> rows;
    QAbstractItemModel* model = weight().DBGrid7->model();
    for (int row = 0; row < model->rowCount(); ++row)
      rows.push_back({model->index(row, 0).data().toString().toStdString(),
                      model->index(row, 1).data().toString().toStdString()});
    return rows;
  }

  // The points of a line series of a chart, by the series' name.
  static QList<QPointF> Points(QChartView* view, const QString& name) {
    for (QAbstractSeries* series : view->chart()->series())
      if (series->name() == name) return static_cast<QLineSeries*>(series)->points();
    return {};
  }

  std::string Words() {
    return (progress().SummaryLabel->text() + "|" + progress().TargetLabel->text() + "|" +
            progress().WeightLabel->text())
        .toStdString();
  }
};

// --- The weight page ----------------------------------------------------------

TEST_F(ProgressPagesTest, WeightPageIsOfferedAndItsTableMadeOnFirstUse) {
  StartWithUser(kProducts);
  EXPECT_TRUE(ui().EnterWeight1->isEnabled());
  ASSERT_FALSE(test::Exists(File("USEW0001.DBF")));
  ui().EnterWeight1->trigger();
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(ui().Pagecontrol1->currentWidget(), &form->WeightPage());
  EXPECT_EQ(form->StatusText(0), "Enter Weigth");
  EXPECT_TRUE(ui().EnterWeight1->isChecked());
  EXPECT_EQ(ui().Panel1->pos(), QPoint(202, 183));
  EXPECT_TRUE(ui().Panel1->isVisible());
  EXPECT_TRUE(test::Exists(File("USEW0001.DBF")));
  EXPECT_EQ(LiveFileRows("USEW0001.DBF").size(), 0u);
  EXPECT_TRUE(form->WeightPage().NoWeightsShown());
  EXPECT_EQ(weight().Image2->size(), QSize(590, 159));
}

TEST_F(ProgressPagesTest, WeightsAreAddedReplacedAfterAskingAndDeleted) {
  StartAndWeigh();
  QAbstractItemModelTester tester(weight().DBGrid7->model(),
                                  QAbstractItemModelTester::FailureReportingMode::Fatal);
  AddWeight(Day(2024, 4, 12), "71,5");
  AddWeight(Day(2024, 4, 10), "73");
  EXPECT_EQ(weight().DBGrid7->currentIndex().row(), 0) << "the new weight is the current row";
  EXPECT_EQ(weight().Edit7->text(), DateText(Day(2024, 4, 10)));
  EXPECT_TRUE(messages.empty());
  EXPECT_TRUE(weight().WeightEdit->text().isEmpty()) << "emptied after storing";

  answers.push_back(TModalResult::Cancel);
  AddWeight(Day(2024, 4, 12), "70");
  EXPECT_EQ(TakeMessages(), Strings{"Replace Weight: There is a weight for " +
                                    DateText(Day(2024, 4, 12)).toStdString() +
                                    " already: 71.5 kg.\r\nReplace it with 70.0 kg?"});
  answers.push_back(TModalResult::OK);
  AddWeight(Day(2024, 4, 12), "70");
  EXPECT_EQ(TakeMessages().size(), 1u);
  EXPECT_EQ(WeightGrid(), (std::vector<std::vector<std::string>>{
                              {DateText(Day(2024, 4, 10)).toStdString(), "73.0"},
                              {DateText(Day(2024, 4, 12)).toStdString(), "70.0"}}));
  std::vector<test::TFileRow> rows = LiveFileRows("USEW0001.DBF");
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[1]["DATUM"], "20240410");
  EXPECT_EQ(rows[1]["WEIGHT"], "73.0");

  // Ctrl+Delete asks; Cancel keeps the row, OK deletes it and the chart.
  ClickCell(weight().DBGrid7, 0, 0);
  answers.push_back(TModalResult::Cancel);
  PressKey(weight().DBGrid7, Qt::Key_Delete, Qt::ControlModifier);
  EXPECT_EQ(WeightGrid().size(), 2u);
  answers.push_back(TModalResult::OK);
  PressKey(weight().DBGrid7, Qt::Key_Delete, Qt::ControlModifier);
  EXPECT_EQ(TakeMessages(), (Strings{"Kalbor: Delete record?", "Kalbor: Delete record?"}));
  EXPECT_EQ(WeightGrid().size(), 1u);
  EXPECT_EQ(Points(weight().Image2, "Weight (kg)").size(), 1);
  EXPECT_EQ(LiveFileRows("USEW0001.DBF").size(), 1u);
}

TEST_F(ProgressPagesTest, RefusedWeightsAreSaidAndNothingIsStored) {
  StartAndWeigh();
  for (const char* typed : {"abc", "19.9", "400.1", ""}) AddWeight(Day(2024, 4, 12), typed);
  EXPECT_EQ(TakeMessages(),
            (Strings{"Invalid Weight: \"abc\" is not a weight.\r\nPlease type your weight in "
                     "kilograms, for example 72.5.",
                     "Invalid Weight: A weight of 19.9 kg cannot be right.\r\nPlease type a "
                     "weight from 20.0 to 400.0 kg.",
                     "Invalid Weight: A weight of 400.1 kg cannot be right.\r\nPlease type a "
                     "weight from 20.0 to 400.0 kg.",
                     "Invalid Weight: \"\" is not a weight.\r\nPlease type your weight in "
                     "kilograms, for example 72.5."}));
  EXPECT_TRUE(WeightGrid().empty());
  EXPECT_TRUE(LiveFileRows("USEW0001.DBF").empty());
  EXPECT_TRUE(form->WeightPage().NoWeightsShown());
}

// The chart holds exactly the stored weights (noon of their day) and their
// moving average of seven entries.
TEST_F(ProgressPagesTest, WeightChartHoldsTheStoredPointsAndTheirAverage) {
  StartAndWeigh();
  const std::vector<QString> typed = {"80", "82", "81", "79", "78", "80", "77", "76"};
  for (size_t i = 0; i < typed.size(); ++i)
    AddWeight(Day(2024, 3, 1).addDays(static_cast<qint64>(3 * i)), typed[i]);
  EXPECT_FALSE(form->WeightPage().NoWeightsShown());
  const QList<QPointF> points = Points(weight().Image2, "Weight (kg)");
  const QList<QPointF> average = Points(weight().Image2, "Average of 7 entries");
  ASSERT_EQ(points.size(), 8);
  ASSERT_EQ(average.size(), 8);
  const std::vector<double> expected_average = {80, 81, 81, 80.5, 80, 80, 557.0 / 7, 553.0 / 7};
  for (int i = 0; i < 8; ++i) {
    const QDateTime noon(Day(2024, 3, 1).addDays(3 * i), QTime(12, 0), Qt::UTC);
    EXPECT_EQ(points[i].x(), noon.toMSecsSinceEpoch());
    EXPECT_DOUBLE_EQ(points[i].y(), typed[i].toDouble());
    EXPECT_EQ(average[i].x(), points[i].x());
    EXPECT_NEAR(average[i].y(), expected_average[i], 1e-9);
  }
  // Another user's page shows that user's weights: none.
  PickUser(2);
  form->WeightPage().EnterWeight1Click();
  EXPECT_TRUE(form->WeightPage().NoWeightsShown());
  EXPECT_TRUE(WeightGrid().empty());
}

// --- The progress page --------------------------------------------------------

// The bars are the daily results of the period chosen, ending on the
// calendar's date; days over the target are in the second set; the words
// leave days without entries out of the average.
TEST_F(ProgressPagesTest, ProgressShowsTheDailyResultsOfThePeriodAgainstTheTarget) {
  StartWithUser(kProducts);
  form->FoodPage().EnterFoodClick();
  const QDate end = Day(2024, 6, 30);
  struct Food {
    int days_back, grams;
  };
  for (Food f : {Food{0, 2500}, Food{0, 100}, Food{1, 1800}, Food{5, 2200}, Food{29, 1000},
                 Food{30, 9999}, Food{89, 3000}, Food{200, 1500}})
    AddFood(end.addDays(-f.days_back), 1, "Porridge", QString::number(f.grams));
  form->WeightPage().EnterWeight1Click();
  AddWeight(end.addDays(-20), "81.2");
  AddWeight(end.addDays(-2), "80.1");
  form->SetCalendarDate(Serial(end));

  ui().Progress1->trigger();
  EXPECT_EQ(form->StatusText(0), "Progress");
  EXPECT_TRUE(ui().Progress1->isChecked());
  EXPECT_EQ(progress().TargetEdit->text(), "");
  progress().TargetEdit->setText("2200");
  progress().SetTargetBtn->click();
  EXPECT_TRUE(messages.empty());

  struct Period {
    QRadioButton* choice;
    int days, with_entries, over;
    int64_t average;
  };
  const std::map<int32_t, int64_t> daily = [&] {
    form->ResultPage().Result1Click();
    std::map<int32_t, int64_t> totals;
    QAbstractItemModel* model = result().DBGrid6->model();
    for (int row = 0; row < model->rowCount(); ++row)
      totals[Serial(QLocale().toDate(model->index(row, 1).data().toString(), ShortDateFormat()))] =
          model->index(row, 2).data().toLongLong();
    return totals;
  }();
  form->ProgressPage().Progress1Click();
  for (const Period& p : {Period{progress().MonthBtn, 30, 4, 1, (2600 + 1800 + 2200 + 1000) / 4},
                          Period{progress().QuarterBtn, 90, 6, 3, 20599 / 6},
                          Period{progress().YearBtn, 365, 7, 3, 22099 / 7}}) {
    p.choice->click();
    ASSERT_EQ(form->ProgressPage().PeriodDays(), p.days);
    auto* bars = static_cast<QStackedBarSeries*>(progress().ProgressChart->chart()->series()[0]);
    ASSERT_EQ(bars->barSets().size(), 2);
    QBarSet* within = bars->barSets()[0];
    QBarSet* over = bars->barSets()[1];
    ASSERT_EQ(within->count(), p.days);
    int with_entries = 0, over_days = 0;
    for (int i = 0; i < p.days; ++i) {
      const int32_t day = Serial(end) - p.days + 1 + i;
      auto it = daily.find(day);
      const double expected = it == daily.end() ? 0 : double(it->second);
      EXPECT_EQ(within->at(i) + over->at(i), expected) << p.days << " days, day " << i;
      EXPECT_EQ(over->at(i) > 0, expected > 2200);
      with_entries += it != daily.end();
      over_days += over->at(i) > 0;
    }
    EXPECT_EQ(with_entries, p.with_entries);
    EXPECT_EQ(over_days, p.over);
    const TProgressFigures& f = form->ProgressPage().Figures();
    EXPECT_EQ(f.days_with_entries, p.with_entries);
    EXPECT_EQ(f.days_over_target, p.over);
    EXPECT_NEAR(double(*f.average_per_day), double(p.average), 0.5);
    EXPECT_EQ(progress().TargetLabel->text().toStdString(),
              "Over the target of 2,200 kcal on " + std::to_string(p.over) + " of those " +
                  std::to_string(p.with_entries) + " days.");
  }
  EXPECT_EQ(Words(),
            "Average 3,157 kcal a day, on the 7 of 365 days with entries.|Over the target of "
            "2,200 kcal on 3 of those 7 days.|Weight -1.1 kg, from 81.2 kg (" +
                DateText(end.addDays(-20)).toStdString() + ") to 80.1 kg (" +
                DateText(end.addDays(-2)).toStdString() + ").");
  EXPECT_EQ(Points(progress().ProgressChart, "Target 2,200 kcal").size(), 2);

  // A day clicked in the calendar ends the period there.
  ClickDay(Day(2024, 6, 1));
  EXPECT_EQ(form->ProgressPage().Figures().last_day, Serial(Day(2024, 6, 1)));
}

// The target is the user's own, kept across a restart (which opens on the
// progress page again), refused outside 500 to 10,000, and gone with the
// user.
TEST_F(ProgressPagesTest, TargetIsKeptAcrossARestartAndGoesWithTheUser) {
  StartWithUser(kProducts, {{1, "Anna"}, {2, "Ben"}});
  form->ProgressPage().Progress1Click();
  progress().TargetEdit->setText("1850");
  progress().SetTargetBtn->click();
  progress().TargetEdit->setText("12");
  progress().SetTargetBtn->click();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].caption, "Invalid Target");
  messages.clear();
  EXPECT_EQ(form->ProgressPage().Figures().target, 1850);

  form->close();
  form.reset();
  dm.reset();
  Start();
  EXPECT_EQ(form->PageMode(), pmProgress);
  EXPECT_EQ(progress().TargetEdit->text(), "1850");
  EXPECT_EQ(progress().TargetLabel->text(), "Daily target 1,850 kcal.");
  PickUser(2);
  form->ProgressPage().Progress1Click();
  EXPECT_EQ(progress().TargetEdit->text(), "");
  EXPECT_EQ(progress().TargetLabel->text(), "No daily target set.");

  form->UserPage().UserDataClick();
  ASSERT_TRUE(dm->UserDbf.Locate("USER_ID", TVariant(1.0), 0));
  form->UserPage().UserDelClick();
  answers.push_back(TModalResult::OK);
  form->UserPage().AddUserClick();
  EXPECT_EQ(dm->DailyTarget(1), std::nullopt);
  EXPECT_TRUE(LiveFileRows("USERTARGET.DBF").empty());
}

}  // namespace
}  // namespace kalbor
