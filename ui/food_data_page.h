// The food data page: the food catalogue in an editable grid, sorted by the
// column whose title is clicked, products marked for the selection list with
// a check box, and new products added to the food group chosen in the
// floating group grid.
#pragma once

#include <QAbstractItemView>
#include <memory>
#include <string>

#include "data/dm1.h"
#include "ui/page.h"

namespace Ui {
class CaloriePage;
}

namespace kalbor {

class TTableModel;

class TFoodDataPage : public TPage {
  Q_OBJECT

 public:
  explicit TFoodDataPage(TForm1& form);
  ~TFoodDataPage() override;
  void Bind(TDM1& dm) override;
  Ui::CaloriePage& Form() { return *ui_; }

  void FoodData1Click();  // "&Food Data"
  void DBGrid2TitleClick(int column);
  void DBGrid2ColEnter(int column);
  void DBGrid2ColExit(int column);
  void DBGrid2CellClick(int column);
  void DBGrid2KeyDown(int key, int column);
  void ToggleUsedCell();
  void AddProductBtnClick();
  int32_t NextFoodId();
  // The search box FindEdit: typing finds the first product from the
  // current row on; Enter, F3 and Shift+F3 step to the next or previous.
  void FindEditChange();
  void FindEditStep(TSearchStep step);
  // Reads the names the search compares, when a change left them to be read.
  void PrepareSearch();

  // The group label Label17 and the button AddProductBtn, as the group
  // filter sets them.
  void SetGroupLabel(const std::string& text);
  void SetAddProductEnabled(bool enabled);

 private:
  std::unique_ptr<Ui::CaloriePage> ui_;
  std::unique_ptr<TTableModel> model_;
  // The catalogue grid's edit triggers while a true/false column is current.
  QAbstractItemView::EditTriggers SavedGridOptions;
  // A catalogue row that "Add" inserted but could not post (kilocalories
  // that are no whole number) is still open.
  bool added_product_open_ = false;
};

}  // namespace kalbor
