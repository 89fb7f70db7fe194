// The user list: numbering, duplicate names, the name key and name box, the
// three orders and the entry count.
#include "data/data_fixture.h"

namespace kalbor::test {
namespace {

using Users = DataModuleTest;
using Strings = std::vector<std::string>;

struct TNumbering {
  std::vector<int32_t> existing;
  int32_t expected;
};

class UserNumbering : public DataModuleTest, public ::testing::WithParamInterface<TNumbering> {};

TEST_P(UserNumbering, NewUserGetsTheNumberOfTheWalk) {
  Start();
  for (int32_t id : GetParam().existing) PutUser(id, "User " + std::to_string(id));
  EXPECT_EQ(AddUser("New"), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Examples, UserNumbering,
                         ::testing::Values(TNumbering{{1, 2, 4, 5}, 3}, TNumbering{{1, 2, 3}, 4},
                                           TNumbering{{2, 3}, 1}, TNumbering{{1, 2, 3, 5}, 6},
                                           TNumbering{{3}, 4}, TNumbering{{}, 1},
                                           TNumbering{{5, 1, 2}, 6}));

TEST_F(Users, NumberOfADeletedUserIsGivenAgainAndTheOrderIsRestored) {
  Start();
  for (int32_t id : {1, 2, 3, 4}) PutUser(id, "User " + std::to_string(id));
  ASSERT_TRUE(dm->UserDbf.Locate("USER_ID", TVariant(2.0), 0));
  dm->UserDbf.Delete();
  window.sort_order = 2;
  EXPECT_EQ(AddUser("Eve"), 2);
  EXPECT_EQ(dm->UserDbf.IndexName(), "USERCOUNT.NDX");
  EXPECT_EQ(window.progress_position, 0);
}

// Diary files left behind by a deletion that could not remove them belong
// to someone: their numbers are passed over, and the files stay untouched.
TEST_F(Users, NumbersWhoseDiaryFilesAreLeftArePassedOver) {
  Start();
  PutUser(1, "Anna");
  const std::vector<uint8_t> leftover = {'k', 'e', 'e', 'p'};
  WriteBytes(File("user0002.dbf"), leftover);
  WriteBytes(File("USER0003.ndx"), leftover);
  PutUser(4, "Dora");
  EXPECT_EQ(AddUser("Eve"), 5);
  EXPECT_EQ(ReadBytes(File("user0002.dbf")), leftover);
  EXPECT_EQ(ReadBytes(File("USER0003.ndx")), leftover);
}

TEST_F(Users, DuplicateNamesFoldOnlyAToZAndAreReportedOnce) {
  Start();
  ASSERT_EQ(AddUser("Anna"), 1);
  ASSERT_EQ(AddUser("änna"), 2);
  PutUser(3, "ANNA");  // an older list may already hold a case twin
  EXPECT_EQ(AddUser("anna"), 0);
  ASSERT_EQ(window.messages.size(), 1u);
  EXPECT_EQ(window.messages[0].text, "This name already exist, please enter another name.");
  EXPECT_EQ(window.messages[0].caption, "New User");
  EXPECT_EQ(window.messages[0].icon, TMsgIcon::Error);
  EXPECT_EQ(window.messages[0].buttons, TMsgButtons::OK);
  EXPECT_EQ(AddUser("Änna"), 4);
  // Renaming a user to its own name in other letters is no duplicate.
  EXPECT_FALSE(dm->UserNameExists("ÄNNA", 4));
  EXPECT_TRUE(dm->UserNameExists("ÄNNA", 2));
}

TEST_F(Users, StoredRowsKeepTheUpperCasedNameKey) {
  Start();
  PutUser(1, "änna b");
  EXPECT_EQ(Column("USERNAME.DBF", "IDX_NAME"), Strings{"äNNA B"});
  dm->UserDbf.First();
  dm->UserDbf.Edit();
  dm->UserDbfUSERNAME->SetAsString("zoe");
  dm->UserDbf.Post();
  EXPECT_EQ(Column("USERNAME.DBF", "IDX_NAME"), Strings{"ZOE"});
  EXPECT_GE(window.fit_user_grid_calls, 3);
}

TEST_F(Users, NameBoxFollowsTheCursorUnlessNewIsDown) {
  Start();
  PutUser(1, "Anna");
  PutUser(2, "Ben");
  dm->UserDbf.Last();
  EXPECT_EQ(window.user_name_text, "Ben");
  window.user_new_down = true;
  window.user_name_text = "typed";
  dm->UserDbf.First();
  EXPECT_EQ(window.user_name_text, "typed");
}

class UserOrders : public DataModuleTest {
 protected:
  void SetUp() override {
    Start();
    MakeCodeTables();
    WriteCatalogue({{1, true, 1, "Bread", 250}});
    PutUser(2, "carl");
    PutUser(3, "Anna");
    PutUser(1, "Bob");
    for (auto [id, foods] : {std::pair{1, 1}, {2, 3}, {3, 2}}) {
      SelectUser(id);
      for (int i = 0; i < foods; ++i) AddFood(Date(2002, 3, 1 + i), 1, 1, 100);
    }
    window.user_id = 3;
  }
  Strings Names() {
    Strings names;
    for (dm->UserDbf.First(); !dm->UserDbf.Eof(); dm->UserDbf.Next())
      names.push_back(dm->UserDbfUSERNAME->AsString());
    return names;
  }
};

TEST_F(UserOrders, ByNameNumberAndCountLargestFirst) {
  dm->SetUserOrder(0);
  EXPECT_EQ(Names(), (Strings{"Anna", "Bob", "carl"}));
  dm->SetUserOrder(1);
  EXPECT_EQ(Names(), (Strings{"Bob", "carl", "Anna"}));
  dm->SetUserOrder(2);
  EXPECT_EQ(dm->UserDbfUSER_ID->AsInteger(), 3);  // repositioned on the current user
  EXPECT_EQ(Names(), (Strings{"carl", "Anna", "Bob"}));
  dm->SetUserOrder(7);
  EXPECT_EQ(dm->UserDbf.IndexName(), "USERCOUNT.NDX");
  EXPECT_EQ(window.user_name_text, "Anna");
  for (const char* ndx : {"USERNAME.NDX", "USER_ID.NDX", "USERCOUNT.NDX"}) EXPECT_TRUE(Exists(File(ndx)));
}

TEST_F(UserOrders, CountIsTheWholeDiaryWhateverDayIsShown) {
  EXPECT_EQ(CountOf(1), 1);
  EXPECT_EQ(CountOf(2), 3);
  EXPECT_EQ(CountOf(3), 2);
  // Side effect relied on by the user page: the counted user's diary is open.
  window.user_id = 2;
  dm->UserFoodDbf.Close();
  dm->UpdateUserCount();
  ASSERT_TRUE(dm->UserFoodDbf.Active());
  EXPECT_EQ(dm->UserFoodDbf.TableName(), "USER0002.DBF");
  // The one-day view shows one of the three rows; all three count.
  window.calendar_date = Date(2002, 3, 2);
  dm->UserFoodDbf.SetFiltered(true);
  ASSERT_EQ(dm->UserFoodDbf.CountVisibleRows(), 1);
  dm->UpdateUserCount();
  EXPECT_EQ(CountOf(2), 3);
}

TEST_F(Users, UserWithoutDiaryCountsZero) {
  Start();
  PutUser(5, "Dora");
  dm->UserDbf.Edit();
  dm->UserDbfCOUNT->SetAsInteger(9);
  dm->UserDbf.Post();
  window.user_id = 5;
  dm->UpdateUserCount();
  EXPECT_EQ(CountOf(5), 0);
  EXPECT_FALSE(dm->UserFoodDbf.Active());
}

TEST(UserFileNames, AtLeastFourDigits) {
  EXPECT_EQ(UserFileName(0), "USER0000.DBF");
  EXPECT_EQ(UserFileName(7), "USER0007.DBF");
  EXPECT_EQ(UserFileName(12345), "USER12345.DBF");
}

}  // namespace
}  // namespace kalbor::test
