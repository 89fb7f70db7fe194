// The user page: the grid's height, adding, renaming, refusing and deleting
// users, and the order of the list.
#include "storage/codepage.h"
#include "ui_fixture.h"

namespace kalbor {
namespace {

class UserPageTest : public test::UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    WriteCatalogue({{8, true, 1, "Apple", 52}});
    Start();
    form->UserPage().UserDataClick();
  }
  void AddUser(const QString& name) {
    form->UserPage().UserNewClick();
    users().Edit1->setText(name);
    form->UserPage().AddUserClick();
  }
  std::vector<std::string> StoredNames() {
    std::vector<std::string> names;
    for (const auto& row : LiveFileRows("USERNAME.DBF"))
      names.push_back(TableTextToUtf8(row["USERNAME"]));
    return names;
  }
  std::string LastMessage() const { return messages.empty() ? "" : messages.back().text; }
};

TEST_F(UserPageTest, GridHeightFollowsTheNumberOfUsers) {
  EXPECT_EQ(users().DBGrid1->height(), 40) << "an empty list is one row high";
  for (int i = 1; i <= 20; ++i) AddUser(QString("User %1").arg(i));
  EXPECT_EQ(users().DBGrid1->height(), 16 * 18 + 22);
  EXPECT_EQ(users().DBGrid1->model()->rowCount(), 20);
}

TEST_F(UserPageTest, NameIsStoredWithoutSurroundingSpacesWithTheLowestFreeNumber) {
  AddUser("  Anna  ");
  auto rows = LiveFileRows("USERNAME.DBF");
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0]["USERNAME"], "Anna");
  EXPECT_EQ(rows[0]["IDX_NAME"], "ANNA");
  EXPECT_EQ(rows[0]["USER_ID"], "1");
  EXPECT_EQ(rows[0]["COUNT"], "0");
  EXPECT_TRUE(users().UserSel->isChecked()) << "back in Select mode";
  EXPECT_EQ(users().AddUser->text(), "Select");
}

TEST_F(UserPageTest, BadNamesAreRefusedAndNothingIsStored) {
  AddUser("   ");
  EXPECT_EQ(LastMessage(), "You must enter a user name.");
  EXPECT_EQ(messages.back().caption, "New User");
  EXPECT_TRUE(users().UserNew->isChecked()) << "the page stays in New mode";
  AddUser("Анна");
  EXPECT_NE(LastMessage().find("cannot be stored"), std::string::npos);
  AddUser("Anna");
  AddUser("aNNA");
  EXPECT_EQ(LastMessage(), "This name already exist, please enter another name.");
  EXPECT_EQ(StoredNames(), std::vector<std::string>{"Anna"});
  // The name box holds at most the field's 50 characters.
  form->UserPage().UserNewClick();
  users().Edit1->setText(QString(51, 'x'));
  EXPECT_EQ(users().Edit1->text().size(), 50);
}

TEST_F(UserPageTest, OnlyAToZAreFoldedInTheDuplicateTest) {
  AddUser("änna");
  AddUser("Änna");
  EXPECT_EQ(StoredNames(), (std::vector<std::string>{"änna", "Änna"}));
}

TEST_F(UserPageTest, RenameIsAskedAndCancelKeepsTheStoredName) {
  AddUser("Anna");
  dm->UserDbf.First();
  users().Edit1->setText("Bert");
  answers.push_back(TModalResult::Cancel);
  form->UserPage().AddUserClick();
  EXPECT_EQ(messages.back().text, "Do you want to change the name of the user?");
  EXPECT_EQ(messages.back().caption, "Change User Name");
  EXPECT_EQ(messages.back().default_button, TModalResult::Cancel);
  EXPECT_EQ(StoredNames(), std::vector<std::string>{"Anna"});
  EXPECT_EQ(form->StatusText(1), "Name : Anna");
  users().Edit1->setText("Bert");
  answers.push_back(TModalResult::OK);
  form->UserPage().AddUserClick();
  EXPECT_EQ(StoredNames(), std::vector<std::string>{"Bert"});
  EXPECT_EQ(form->windowTitle(), "Kalbor -- Bert --");
}

TEST_F(UserPageTest, SelectingAUserMakesItsDiaryAndSelectionList) {
  AddUser("Anna");
  dm->UserDbf.First();
  form->UserPage().AddUserClick();
  EXPECT_EQ(form->CurrentUserId(), 1);
  EXPECT_TRUE(test::Exists(File("USER0001.DBF")));
  EXPECT_TRUE(dm->UserFoodDbf.Active());
  EXPECT_EQ(form->StatusText(2), "ID : 1");
  ASSERT_EQ(LiveFileRows("USERCAL.DBF").size(), 1u);
}

TEST_F(UserPageTest, DeletingAUserRemovesItsDiaryFiles) {
  AddUser("Anna");
  AddUser("Bert");
  dm->UserDbf.Locate("USERNAME", std::string("Anna"), 0);
  form->UserPage().AddUserClick();
  ASSERT_TRUE(test::Exists(File("USER0001.DBF")));
  ASSERT_TRUE(test::Exists(File("USER0001.NDX")));
  form->UserPage().UserDelClick();
  EXPECT_FALSE(users().Edit1->isEnabled());
  answers.push_back(TModalResult::OK);
  form->UserPage().AddUserClick();
  EXPECT_EQ(messages.back().text, "Do you want to delete the selected user ?");
  EXPECT_FALSE(test::Exists(File("USER0001.DBF")));
  EXPECT_FALSE(test::Exists(File("USER0001.NDX")));
  EXPECT_EQ(StoredNames(), std::vector<std::string>{"Bert"}) << "and the list is packed";
  EXPECT_EQ(FileRows("USERNAME.DBF").size(), 1u);
  EXPECT_EQ(form->StatusText(1), "Name : ");
  EXPECT_EQ(form->StatusText(2), "ID : ");
  EXPECT_EQ(form->windowTitle(), "Kalbor -- No User Selected --");
  EXPECT_EQ(form->CurrentUserId(), 0);
}

// Ctrl+Delete on the grid is the whole deletion, with its question; deleting
// someone other than the selected user leaves the selection, the caption
// and the diary shown as they were.
TEST_F(UserPageTest, CtrlDeleteOfAnotherUserTakesTheirFilesAndKeepsTheSelection) {
  AddUser("Anna");
  AddUser("Bert");
  for (const char* name : {"Bert", "Anna"}) {
    dm->UserDbf.Locate("USERNAME", std::string(name), 0);
    form->UserPage().AddUserClick();
  }
  ASSERT_TRUE(test::Exists(File("USER0002.DBF")));
  dm->UserDbf.Locate("USERNAME", std::string("Anna"), 0);
  form->UserPage().AddUserClick();
  ASSERT_EQ(form->CurrentUserId(), 1);
  dm->UserDbf.Locate("USERNAME", std::string("Bert"), 0);
  answers.push_back(TModalResult::OK);
  PressKey(users().DBGrid1, Qt::Key_Delete, Qt::ControlModifier);
  EXPECT_EQ(LastMessage(), "Do you want to delete the selected user ?");
  EXPECT_FALSE(test::Exists(File("USER0002.DBF")));
  EXPECT_FALSE(test::Exists(File("USER0002.NDX")));
  EXPECT_EQ(StoredNames(), std::vector<std::string>{"Anna"});
  EXPECT_EQ(form->CurrentUserId(), 1);
  EXPECT_EQ(form->windowTitle(), "Kalbor -- Anna --");
  EXPECT_EQ(form->StatusText(2), "ID : 1");
  EXPECT_TRUE(dm->UserFoodDbf.Active());
  EXPECT_EQ(dm->UserFoodDbf.TableName(), "USER0001.DBF");
}

TEST_F(UserPageTest, CancelledDeleteChangesNothing) {
  AddUser("Anna");
  dm->UserDbf.First();
  form->UserPage().AddUserClick();
  form->UserPage().UserDelClick();
  answers.push_back(TModalResult::Cancel);
  form->UserPage().AddUserClick();
  EXPECT_EQ(StoredNames(), std::vector<std::string>{"Anna"});
  EXPECT_EQ(form->CurrentUserId(), 1);
  EXPECT_TRUE(test::Exists(File("USER0001.DBF")));
}

TEST_F(UserPageTest, CountOrderListsTheBusiestUserFirst) {
  AddUser("Anna");
  AddUser("Bert");
  dm->UserDbf.Locate("USERNAME", std::string("Bert"), 0);
  form->UserPage().AddUserClick();
  dm->StoreDiaryRow(DateToSerial(2002, 11, 4), 2, 1, 30);
  users().UserSort->SetItemIndex(2);
  form->UserPage().UserSortClick();
  EXPECT_EQ(GridColumn(users().DBGrid1, 1), (std::vector<std::string>{"Bert", "Anna"}));
  EXPECT_EQ(form->CurrentUserId(), 2);
  EXPECT_EQ(dm->UserDbfUSERNAME->AsString(), "Bert") << "the selected user stays highlighted";
}

}  // namespace
}  // namespace kalbor
