// A fresh installation: the program folder as the build leaves it (the
// shipped catalogue, the code tables), and a first user who records a food
// from the starter selection list without visiting any other page first.
#include <QLineEdit>

#include "tools/foodcal/install_tables.h"
#include "ui_fixture.h"

namespace kalbor {
namespace {

class FirstStartTest : public test::UiTest {};

TEST_F(FirstStartTest, NewUserRecordsAFoodFromTheStarterList) {
  InstallTables(dir.path(), std::string(KALBOR_SOURCE_DIR) +
                                "/resources/catalogue/usda-sr24-energy.csv");
  form = std::make_unique<TForm1>(dir.path());
  dm = std::make_unique<TDM1>(*form);
  form->StartDataModule(*dm);
  form->show();
  Settle();
  ASSERT_TRUE(messages.empty()) << messages[0].text;

  form->UserPage().UserDataClick();
  form->UserPage().UserNewClick();
  users().Edit1->setText("Anna");
  form->UserPage().AddUserClick();
  dm->UserDbf.First();
  form->UserPage().AddUserClick();  // select her
  EXPECT_EQ(form->CurrentUserName(), "Anna");

  form->FoodPage().EnterFoodClick();
  ASSERT_TRUE(messages.empty()) << messages[0].text;
  QAbstractItemModel* products = food().DBGrid4->model();
  EXPECT_GE(products->rowCount(), 30) << "the starter foods are offered";

  // Typing the start of a name finds the product.
  food().SearchEdit->setText("Banana");
  EXPECT_EQ(dm->MakeDB.FieldByName("NAME").AsString().rfind("Banana", 0), 0u)
      << dm->MakeDB.FieldByName("NAME").AsString();
  const int32_t banana = dm->MakeDB.FieldByName("FOOD_ID").AsInteger();

  food().Edit5->setText("120");
  form->FoodPage().Button1Click();
  ASSERT_TRUE(messages.empty()) << messages[0].text;
  auto rows = LiveFileRows("USER0001.DBF");
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0]["FOOD_ID"], std::to_string(banana));
  EXPECT_EQ(rows[0]["QUANTITY"], "120");
  EXPECT_NE(rows[0]["CALORIES"], "0");
}

}  // namespace
}  // namespace kalbor
