// Every page by keyboard and by eye: a Tab walk visits the controls a person
// needs, in reading order, and Shift+Tab the other way, without changing
// any table; and no control covers another or leaves the page.
#include <QAbstractButton>
#include <QCalendarWidget>
#include <QLabel>
#include <QMenuBar>

#include <map>

#include "tests/ui/ui_fixture.h"

namespace kalbor::test {
namespace {

struct TPageCase {
  const char* page;
  std::function<void(TForm1&)> show;
  std::vector<std::string> tab_order;  // from the first control
};

class PageLookAndKeysTest : public DiaryPagesTest {
 protected:
  void SetUp() override {
    DiaryPagesTest::SetUp();
    StartWithUser({{8, true, 1, "Apple", 52}, {8, true, 2, "Pear", 57}},
                  {{1, "Anna"}, {2, "Bert"}});
    AddFood(Day(2002, 11, 4), 2, "Pear", "30");
    AddFood(Day(2002, 11, 5), 1, "Apple", "100");
  }

  // The focused control's name: its own, or (inside a grid navigator, radio
  // group or calendar) its named parent's.
  static std::string FocusName() {
    QWidget* w = QApplication::focusWidget();
    while (w && (w->objectName().isEmpty() || w->objectName().startsWith("qt_")))
      w = w->parentWidget();
    return w ? w->objectName().toStdString() : "(none)";
  }

  // The controls visited by `steps` presses of Tab (or Shift+Tab), repeats
  // of one compound control's parts counted once.
  std::vector<std::string> Walk(int steps, bool back) {
    std::vector<std::string> seen;
    for (int i = 0; i < steps; ++i) {
      const std::string name = FocusName();
      if (seen.empty() || seen.back() != name) seen.push_back(name);
      QWidget* w = QApplication::focusWidget();
      if (!w) break;
      PressKey(w, back ? Qt::Key_Backtab : Qt::Key_Tab, back ? Qt::ShiftModifier : Qt::NoModifier);
      Settle();
    }
    return seen;
  }

  // One round of the walk, starting at `first`.
  static std::vector<std::string> Round(const std::vector<std::string>& walk,
                                        const std::string& first, size_t length) {
    auto at = std::find(walk.begin(), walk.end(), first);
    if (at == walk.end() || size_t(walk.end() - at) < length) return walk;
    return {at, at + static_cast<std::ptrdiff_t>(length)};
  }

  // What a walk could change: every table's state and current row, and the
  // folder's files.
  std::vector<std::string> Snapshot() {
    std::vector<std::string> out;
    for (TTableObject* t : {&dm->UserDbf, &dm->FoodCalDbf, &dm->MakeDB, &dm->UserFoodDbf,
                            &dm->FoodGroupDbf, &dm->UserResultDbf}) {
      out.push_back(t->TableName() + (t->Active() ? " open " : " closed ") +
                    std::to_string(static_cast<int>(t->State())) + " at " +
                    (t->Active() && !t->IsEmpty() ? std::to_string(t->Bookmark()) : "-"));
    }
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
      std::vector<uint8_t> bytes = ReadBytes(entry.path().string());
      out.push_back(entry.path().filename().string() + " " + std::to_string(bytes.size()) + " " +
                    std::to_string(std::hash<std::string>()(std::string(bytes.begin(), bytes.end()))));
    }
    std::sort(out.begin(), out.end());
    return out;
  }

  // The page's own controls and the floating panels shown with it, in the
  // window's client area.
  std::vector<std::pair<std::string, QRect>> Controls(QWidget* page) {
    std::vector<std::pair<std::string, QRect>> out;
    QWidget* area = form->Form().centralwidget;
    for (QWidget* w : page->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
      if (w->isVisible()) out.emplace_back(w->objectName().toStdString(),
                                           QRect(w->mapTo(area, QPoint()), w->size()));
    for (QWidget* w : {static_cast<QWidget*>(ui().Panel1), static_cast<QWidget*>(ui().PopPanel),
                       static_cast<QWidget*>(ui().DBGrid5)})
      if (w->isVisible()) out.emplace_back(w->objectName().toStdString(), w->geometry());
    return out;
  }
};

TEST_F(PageLookAndKeysTest, TabVisitsEveryControlInReadingOrderAndNothingOverlaps) {
  const std::vector<TPageCase> pages = {
      {"user", [](TForm1& f) { f.UserPage().UserDataClick(); },
       {"DBGrid1", "UserSort", "UserSel", "UserNew", "UserDel", "Edit1", "AddUser", "DBNavigator1"}},
      {"food entry", [](TForm1& f) { f.FoodPage().EnterFoodClick(); },
       {"DBGrid3", "MonthCalendar1", "FoodKind", "DBGrid5", "DBGrid4", "SearchEdit", "Edit5",
        "Button1", "Button2", "ViewAll", "Edit2"}},
      {"food data", [](TForm1& f) { f.FoodDataPage().FoodData1Click(); },
       {"DBGrid5", "DBGrid2", "EditProd", "EditMake", "EditCal", "DBNavigator2", "FindEdit"}},
      {"result", [](TForm1& f) { f.ResultPage().Result1Click(); },
       {"DBGrid6", "MonthCalendar1", "DBNavigator3"}},
      {"table making", [](TForm1& f) { f.MakeTablesPage().MakeTables1Click(); },
       {"TableSelect", "MakeTable"}},
      {"weight", [](TForm1& f) { f.WeightPage().EnterWeight1Click(); },
       {"MonthCalendar1", "WeightEdit", "AddWeightBtn", "DBGrid7"}},
      {"progress", [](TForm1& f) { f.ProgressPage().Progress1Click(); },
       {"MonthBtn", "MonthCalendar1", "TargetEdit", "SetTargetBtn"}},
  };
  for (const TPageCase& c : pages) {
    SCOPED_TRACE(c.page);
    c.show(*form);
    Settle();
    QWidget* page = form->Form().Pagecontrol1->currentWidget();
    const QRect area(QPoint(), page->size());
    const auto controls = Controls(page);
    for (size_t i = 0; i < controls.size(); ++i) {
      EXPECT_TRUE(area.contains(controls[i].second)) << controls[i].first << " leaves the page";
      for (size_t j = i + 1; j < controls.size(); ++j)
        EXPECT_FALSE(controls[i].second.intersects(controls[j].second))
            << controls[i].first << " and " << controls[j].first << " overlap";
    }

    // Each Alt+letter of the page and the menu bar does one thing.
    std::map<QChar, std::string> keys;
    auto take = [&](const QString& text, const std::string& owner) {
      const int at = QString(text).replace("&&", "__").indexOf('&');
      if (at < 0 || at + 1 >= text.size()) return;
      const QChar key = text[at + 1].toLower();
      EXPECT_EQ(keys.count(key), 0u) << "Alt+" << key.toLatin1() << ": " << keys[key] << " and "
                                     << owner;
      keys[key] = owner;
    };
    for (QAction* menu : form->menuBar()->actions()) take(menu->text(), "menu");
    for (QAbstractButton* b : page->findChildren<QAbstractButton*>())
      if (b->isVisible()) take(b->text(), b->objectName().toStdString());
    for (QLabel* l : page->findChildren<QLabel*>())
      if (l->isVisible() && l->buddy()) take(l->text(), l->objectName().toStdString());

    const std::vector<std::string> before = Snapshot();
    const size_t n = c.tab_order.size();
    EXPECT_EQ(Round(Walk(int(6 * n), false), c.tab_order.front(), n), c.tab_order);
    std::vector<std::string> back(c.tab_order.rbegin(), c.tab_order.rend());
    EXPECT_EQ(Round(Walk(int(6 * n), true), back.front(), n), back);
    EXPECT_EQ(Snapshot(), before) << "a walk changed a table";
  }
}

}  // namespace
}  // namespace kalbor::test
