// The table-making page and the Help menu.
#include "ui/main_window.h"

#include "data/dm1.h"
#include "ui/help/help_viewer.h"
#include "ui_main_window.h"

namespace kalbor {

void TForm1::BindMakeTablesPage() {
  Ui::Form1& f = *ui_;
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
  connect(f.MakeTable, &QPushButton::clicked, this, &TForm1::MakeTableClick);
}

void TForm1::MakeTables1Click() { ShowPage(6); }

void TForm1::MakeTableClick() { dm_->MakeTableByNumber(ui_->TableSelect->ItemIndex() + 1); }

void TForm1::Contents1Click() { ShowHelpContents(this, HelpFile()); }

void TForm1::Index1Click() { RunHelpMacro(this, HelpFile(), "SEARCH()"); }

void TForm1::History1Click() { ShowHelpContext(9500); }

void TForm1::About1Click() { ShowHelpContext(9999); }

}  // namespace kalbor
