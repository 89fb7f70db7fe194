// The food entry page: the diary grid with its two views (all rows or one
// day), adding and deleting foods, the product list of the food group
// chosen in the floating group grid, with its search box, and what a click
// on the floating calendar does on every page that shows it.
#pragma once

#include <memory>

#include "data/dm1.h"
#include "ui/page.h"

namespace Ui {
class FoodPage;
}

namespace kalbor {

class TTableModel;

class TFoodPage : public TPage {
  Q_OBJECT

 public:
  explicit TFoodPage(TForm1& form);
  ~TFoodPage() override;
  void Bind(TDM1& dm) override;
  Ui::FoodPage& Form() { return *ui_; }

  void EnterFoodClick();  // "&Enter Food"
  void MonthCalendar1Click();
  void MonthCalendar1Enter();
  void ViewDayClick();
  void ViewAllClick();
  void Button1Click();  // "&Add Food"
  void Button2Click();  // "&Delete"
  void SearchEditEnter();
  void SearchEditChange();
  // Enter, F3 and Shift+F3 in the search box.
  void SearchEditStep(TSearchStep step);
  // The date box shows the calendar's date.
  void ShowCalendarDate();

 private:
  void SwitchDiaryView(bool one_day);

  std::unique_ptr<Ui::FoodPage> ui_;
  std::unique_ptr<TTableModel> diary_model_, products_model_, groups_model_;
};

}  // namespace kalbor
