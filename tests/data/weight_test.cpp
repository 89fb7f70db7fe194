// Weights, daily targets and the progress figures: what a typed weight or
// target stores, one weight a day, the moving average, the figures of a
// period against the daily results, and what goes with a deleted user.
#include <cmath>

#include "data/data_fixture.h"

namespace kalbor::test {
namespace {

using Strings = std::vector<std::string>;

class Weights : public DataModuleTest {
 protected:
  void SetUp() override {
    Start();
    MakeCodeTables();
    WriteCatalogue({{3, true, 1, "Hundred", 100}});
    PutUser(1, "Anna");
    PutUser(2, "Ben");
    SelectUser(1);
  }

  // "Add &Weight" with `text` typed, for `date`.
  TWeightResult AddWeight(int32_t date, const std::string& text) {
    window.calendar_date = date;
    return dm->AddWeight(date, text);
  }

  // The weight table's rows as "yyyy-mm-dd weight", in the order shown.
  Strings WeightRows() {
    Strings rows;
    TTableObject& t = dm->UserWeightDbf;
    for (t.First(); !t.Eof(); t.Next())
      rows.push_back(FormatDate("yyyy-mm-dd", int32_t(dm->UserWeightDbfDATUM->AsDateTime())) +
                     " " + dm->UserWeightDbfWEIGHT->DisplayText());
    return rows;
  }

  std::vector<std::string> Captions() {
    std::vector<std::string> captions;
    for (const TShownMessage& m : window.messages) captions.push_back(m.caption);
    window.messages.clear();
    return captions;
  }
};

TEST_F(Weights, TableIsMadeOnFirstUseWithItsSchema) {
  EXPECT_FALSE(Exists(File("USEW0001.DBF")));
  dm->OpenWeightTable(1);
  EXPECT_TRUE(dm->WeightTableOpen());
  dm->CloseWeightTable();
  EXPECT_EQ(Schema("USEW0001.DBF"), (Strings{"DATUM D 8", "WEIGHT N 5", "DAYNUMBER N 9"}));
  TTableObject t;
  t.SetFilePath(dir.path());
  t.SetTableName("USEW0001.DBF");
  t.ReadOnly = true;
  t.Open();
  EXPECT_EQ(t.FileFieldDefs()[1].Precision, 1) << "kilograms with one decimal";
}

struct TTypedWeight {
  std::string text;
  std::string stored;   // the row's weight; empty: refused
  std::string caption;  // the refusal's box
};

class TypedWeights : public Weights, public ::testing::WithParamInterface<TTypedWeight> {};

// Either decimal separator serves; digits past the first decimal round half
// up; anything else, or outside 20.0 to 400.0 kg, stores nothing.
TEST_P(TypedWeights, AreStoredWithOneDecimalOrRefused) {
  const TTypedWeight& c = GetParam();
  const TWeightResult result = AddWeight(Date(2024, 4, 11), c.text);
  if (c.stored.empty()) {
    EXPECT_EQ(result, TWeightResult::Refused);
    EXPECT_EQ(Captions(), Strings{c.caption});
    EXPECT_TRUE(!dm->WeightTableOpen() || WeightRows().empty());
  } else {
    EXPECT_EQ(result, TWeightResult::Stored);
    EXPECT_EQ(Captions(), Strings{});
    EXPECT_EQ(WeightRows(), Strings{"2024-04-11 " + c.stored});
  }
}

INSTANTIATE_TEST_SUITE_P(
    Examples, TypedWeights,
    ::testing::Values(TTypedWeight{"72.5", "72.5"}, TTypedWeight{"72,5", "72.5"},
                      TTypedWeight{" 80 ", "80.0"}, TTypedWeight{"72.45", "72.5"},
                      TTypedWeight{"72.449", "72.4"}, TTypedWeight{"20", "20.0"},
                      TTypedWeight{"400.0", "400.0"}, TTypedWeight{"19.9", "", "Invalid Weight"},
                      TTypedWeight{"400.05", "", "Invalid Weight"},
                      TTypedWeight{"-70", "", "Invalid Weight"},
                      TTypedWeight{"99999999999", "", "Invalid Weight"},
                      TTypedWeight{"", "", "Invalid Weight"},
                      TTypedWeight{"abc", "", "Invalid Weight"},
                      TTypedWeight{"72.5kg", "", "Invalid Weight"},
                      TTypedWeight{"7 2", "", "Invalid Weight"},
                      TTypedWeight{"1.2.3", "", "Invalid Weight"},
                      TTypedWeight{".", "", "Invalid Weight"}));

TEST_F(Weights, MessagesSayWhatIsWrongInTheUsersNumbers) {
  AddWeight(Date(2024, 4, 11), "abc");
  AddWeight(Date(2024, 4, 11), "5");
  ASSERT_EQ(window.messages.size(), 2u);
  EXPECT_EQ(window.messages[0].text,
            "\"abc\" is not a weight.\r\nPlease type your weight in kilograms, for example 72.5.");
  EXPECT_EQ(window.messages[1].text,
            "A weight of 5.0 kg cannot be right.\r\nPlease type a weight from 20.0 to 400.0 kg.");
  EXPECT_EQ(window.messages[1].icon, TMsgIcon::Error);
  window.messages.clear();
  window.user_name.clear();  // nobody selected
  EXPECT_EQ(AddWeight(Date(2024, 4, 11), "70"), TWeightResult::NoUser);
  EXPECT_EQ(Captions(), Strings{"Invalid User"});
  EXPECT_FALSE(Exists(File("USEW0001.DBF")));
}

// One weight a day, shown in date order; a second one for a day asks, and
// only OK replaces it; the same weight again asks nothing.
TEST_F(Weights, SecondWeightOfADayReplacesTheFirstOnlyAfterOk) {
  AddWeight(Date(2024, 4, 12), "71");
  AddWeight(Date(2024, 4, 10), "73");
  window.Answer(TModalResult::Cancel);
  EXPECT_EQ(AddWeight(Date(2024, 4, 12), "70.5"), TWeightResult::Kept);
  ASSERT_EQ(window.messages.size(), 1u);
  EXPECT_EQ(window.messages[0].text,
            "There is a weight for 2024-04-12 already: 71.0 kg.\r\nReplace it with 70.5 kg?");
  EXPECT_EQ(window.messages[0].default_button, TModalResult::Cancel);
  EXPECT_EQ(WeightRows(), (Strings{"2024-04-10 73.0", "2024-04-12 71.0"}));
  window.messages.clear();
  window.Answer(TModalResult::OK);
  EXPECT_EQ(AddWeight(Date(2024, 4, 12), "70.5"), TWeightResult::Stored);
  EXPECT_EQ(AddWeight(Date(2024, 4, 12), "70,5"), TWeightResult::Stored);
  EXPECT_EQ(window.messages.size(), 1u);
  EXPECT_EQ(WeightRows(), (Strings{"2024-04-10 73.0", "2024-04-12 70.5"}));
  EXPECT_EQ(dm->WeightSeries().size(), 2u);

  dm->UserWeightDbf.First();
  dm->DeleteWeightRow();
  EXPECT_EQ(WeightRows(), Strings{"2024-04-12 70.5"});
}

// Each point is the mean of its entry and up to six before it, however far
// apart the days are.
TEST_F(Weights, SeriesHoldsTheStoredWeightsWithTheirMovingAverage) {
  const std::vector<std::string> typed = {"80", "82", "81", "79", "78", "80", "77", "76", "90.1"};
  for (size_t i = 0; i < typed.size(); ++i)
    AddWeight(Date(2024, 1, 1) + static_cast<int32_t>(i * i), typed[i]);
  const std::vector<double> averages = {80.0, 81.0, 81.0, 80.5, 80.0, 80.0,
                                        79.571428571428569, 79.0, 80.157142857142858};
  const std::vector<TWeightPoint> series = dm->WeightSeries();
  ASSERT_EQ(series.size(), typed.size());
  for (size_t i = 0; i < series.size(); ++i) {
    EXPECT_EQ(series[i].date_serial, Date(2024, 1, 1) + static_cast<int32_t>(i * i));
    EXPECT_EQ(series[i].tenths, *ParseWeightTenths(typed[i], '.'));
    EXPECT_NEAR(series[i].average, averages[i], 1e-9) << i;
  }
  // Another user has none, and gets no file from being asked.
  window.user_id = 2;
  EXPECT_TRUE(dm->WeightSeries().empty());
  EXPECT_FALSE(Exists(File("USEW0002.DBF")));
}

struct TTypedTarget {
  std::string text;
  std::optional<int32_t> kept;  // the target afterwards (it was 2000)
  bool refused;
};

class TypedTargets : public Weights, public ::testing::WithParamInterface<TTypedTarget> {};

TEST_P(TypedTargets, AreKeptOrRefused) {
  ASSERT_EQ(dm->SetDailyTarget("2000"), TWeightResult::Stored);
  const TTypedTarget& c = GetParam();
  EXPECT_EQ(dm->SetDailyTarget(c.text),
            c.refused ? TWeightResult::Refused : TWeightResult::Stored);
  EXPECT_EQ(Captions(), c.refused ? Strings{"Invalid Target"} : Strings{});
  EXPECT_EQ(dm->DailyTarget(1), c.kept);
  EXPECT_EQ(dm->DailyTarget(2), std::nullopt);
}

INSTANTIATE_TEST_SUITE_P(
    Examples, TypedTargets,
    ::testing::Values(TTypedTarget{"1800", 1800, false}, TTypedTarget{" 500 ", 500, false},
                      TTypedTarget{"10000", 10000, false}, TTypedTarget{"", std::nullopt, false},
                      TTypedTarget{"  ", std::nullopt, false}, TTypedTarget{"499", 2000, true},
                      TTypedTarget{"10001", 2000, true}, TTypedTarget{"1800.5", 2000, true},
                      TTypedTarget{"-1800", 2000, true}, TTypedTarget{"lots", 2000, true},
                      TTypedTarget{"9999999999", 2000, true}));

// The target is kept in its table across a restart; deleting the user takes
// the weights and the target, and the next user of the number starts
// without them.
TEST_F(Weights, TargetAndWeightsStayAcrossARestartAndGoWithTheUser) {
  ASSERT_EQ(dm->SetDailyTarget("2200"), TWeightResult::Stored);
  SelectUser(2);
  ASSERT_EQ(dm->SetDailyTarget("1900"), TWeightResult::Stored);
  AddWeight(Date(2024, 4, 11), "70");
  Stop();
  Start();
  EXPECT_EQ(dm->DailyTarget(1), 2200);
  EXPECT_EQ(dm->DailyTarget(2), 1900);
  EXPECT_EQ(Column("USERTARGET.DBF", "TARGET"), (Strings{"2200", "1900"}));

  dm->OpenWeightTable(2);  // held open while the user goes
  ASSERT_TRUE(dm->UserDbf.Locate("USER_ID", TVariant(2.0), 0));
  dm->DeleteUser(2);
  EXPECT_TRUE(window.messages.empty());
  EXPECT_FALSE(Exists(File("USEW0002.DBF")));
  EXPECT_FALSE(Exists(File("USEW0002.NDX")));
  EXPECT_EQ(Column("USERTARGET.DBF", "USER_ID"), Strings{"1"}) << "removed from the file";
  EXPECT_EQ(AddUser("Cleo"), 2);
  EXPECT_EQ(dm->DailyTarget(2), std::nullopt);
  EXPECT_EQ(dm->DailyTarget(1), 2200);
}

// A weight table or target left by a deletion that could not remove it
// belongs to someone: the number is passed over.
TEST_F(Weights, NumbersWithWeightsOrATargetLeftArePassedOver) {
  const std::vector<uint8_t> leftover = {'k', 'e', 'e', 'p'};
  WriteBytes(File("usew0003.dbf"), leftover);
  window.user_id = 4;
  window.user_name = "Gone";
  ASSERT_EQ(dm->SetDailyTarget("2000"), TWeightResult::Stored);
  EXPECT_EQ(AddUser("Cleo"), 5);
  EXPECT_EQ(ReadBytes(File("usew0003.dbf")), leftover);
}

// --- Progress over a period ---------------------------------------------------

class Progress : public Weights {
 protected:
  // The daily results table as date serial -> total.
  std::map<int32_t, int64_t> DailyResults() {
    dm->BuildUserResult();
    std::map<int32_t, int64_t> totals;
    TTableObject& t = dm->UserResultDbf;
    for (t.First(); !t.Eof(); t.Next())
      totals[int32_t(dm->UserResultDbfDATUM->AsDateTime())] = dm->UserResultDbfCALORIES->AsInteger();
    return totals;
  }
};

// The period's totals are the daily results of its days, whatever order
// and view the diary is in; days without entries have none and stay out of
// the average; days over the target are those above it.
TEST_F(Progress, TotalsAreTheDailyResultsOfThePeriod) {
  const int32_t day1 = Date(2024, 3, 1);
  // Day offsets and grams (Hundred: grams are kilocalories).
  const std::vector<std::pair<int, int>> foods = {
      {-3, 999}, {0, 1500}, {0, 600}, {2, 2100}, {3, 1900}, {3, 300}, {9, 2502}, {12, 7}};
  for (auto [offset, grams] : foods) AddFood(day1 + offset, (offset + 5) % 5, 1, grams);
  ASSERT_EQ(dm->SetDailyTarget("2100"), TWeightResult::Stored);
  AddWeight(day1 - 5, "80");
  AddWeight(day1 + 1, "79.5");
  AddWeight(day1 + 8, "78.9");

  window.calendar_date = day1 + 9;
  for (bool one_day : {false, true}) {
    dm->SetDiaryView(one_day);
    const TProgressFigures f = dm->ProgressFigures(day1 + 9, 10);
    EXPECT_EQ(dm->UserFoodDbf.Filtered(), one_day) << "the diary's view is kept";
    EXPECT_EQ(f.first_day, day1);
    ASSERT_EQ(f.daily.size(), 10u);
    const std::map<int32_t, int64_t> results = DailyResults();
    for (int i = 0; i < 10; ++i) {
      auto it = results.find(day1 + i);
      EXPECT_EQ(f.daily[i], it == results.end() ? std::nullopt : std::optional<int64_t>(it->second))
          << "day " << i;
    }
    EXPECT_EQ(f.days_with_entries, 4);
    EXPECT_EQ(f.average_per_day, 2226) << "8902 / 4, rounded";
    EXPECT_EQ(f.days_over_target, 2) << "2100 is not over 2100";
    EXPECT_EQ(f.target, 2100);
    EXPECT_EQ(f.weights.size(), 2u);
    EXPECT_EQ(f.weight_change, -6);
  }
  // The diary in file order (as after making its index failed) gives the same.
  dm->UserFoodDbf.SetIndexName("");
  EXPECT_EQ(dm->ProgressFigures(day1 + 9, 10).daily, dm->DailyTotals(day1, day1 + 9));
  EXPECT_EQ(dm->DailyTotals(day1, day1 + 9)[3], 2200);

  // A period without entries or weights.
  const TProgressFigures empty = dm->ProgressFigures(day1 - 100, 30);
  EXPECT_EQ(empty.days_with_entries, 0);
  EXPECT_EQ(empty.average_per_day, std::nullopt);
  EXPECT_EQ(empty.weight_change, std::nullopt);
}

}  // namespace
}  // namespace kalbor::test
