#include "ui/make_tables_page.h"

#include "data/dm1.h"
#include "ui/main_window.h"
#include "ui_make_tables_page.h"

namespace kalbor {

TMakeTablesPage::TMakeTablesPage(TForm1& form)
    : TPage(form), ui_(std::make_unique<Ui::TestPage>()) {
  ui_->setupUi(this);
}

TMakeTablesPage::~TMakeTablesPage() = default;

void TMakeTablesPage::Bind(TDM1& dm) {
  dm_ = &dm;
  Ui::TestPage& f = *ui_;
  f.TableSelect->SetItems({
      "UserName.DBF    - Name of the Users",
      "FoodCal.DBF     - Calories of the Food",
      "UserCal.DBF     - Calories of the user Food",
      "Usernnnn.DBF    - User Food Data",
      "UserResult.DBF  - Total daily User Calories",
      "MealType.DBF    - Lunch, Dinner etc.",
      "FoodGroups.DBF  - The Groups of Food (nu)",
  });
  f.TableSelect->SetItemIndex(0);
  connect(f.MakeTable, &QPushButton::clicked, this, &TMakeTablesPage::MakeTableClick);
}

void TMakeTablesPage::MakeTables1Click() { form_.ShowPage(pmTableMaking); }

void TMakeTablesPage::MakeTableClick() {
  dm_->MakeTableByNumber(ui_->TableSelect->ItemIndex() + 1);
}

}  // namespace kalbor
