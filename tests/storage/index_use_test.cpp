// Index use of the table object: building, selecting, maintaining and
// searching through index files.
#include "storage/index_check.h"
#include "storage/index_file.h"
#include "storage/table_file.h"
#include "table_fixture.h"

namespace kalbor {
namespace {

using test::ReadBytes;

class IndexUseTest : public test::TableFixture {
 protected:
  std::unique_ptr<TTableObject> Users(std::initializer_list<std::pair<int, const char*>> rows) {
    auto t = MakeUserTable();
    t->Open();
    int count = 0;
    for (auto [id, name] : rows) AddUser(*t, id, name, count++ % 3);
    return t;
  }
  std::vector<std::string> Names(TTableObject& t) {
    std::vector<std::string> names;
    for (t.First(); !t.Eof(); t.Next()) names.push_back(t.FieldByName("USERNAME").AsString());
    return names;
  }
  // Every open index of `t` checked against its table file.
  void ExpectSound(const std::string& table, const std::vector<std::string>& indexes) {
    TTableFile file;
    ASSERT_TRUE(file.Open(Path(table), TOpenMode::ReadOnly, true));
    for (const std::string& name : indexes) {
      auto problems = CheckIndexOfTable(file, Path(name));
      EXPECT_TRUE(problems.empty()) << name << ": " << (problems.empty() ? "" : problems[0]);
    }
  }
};

TEST_F(IndexUseTest, BuildThenSelectOrdersRowsAndKeepsTheCurrentRow) {
  auto t = Users({{3, "carl"}, {1, "Anna"}, {2, "bert"}});
  t->First();
  t->Next();  // Anna, record 2
  t->SetIndexName("");
  t->BuildIndexFile("USER_ID.NDX", "USER_ID", ixCaseInsensitive);
  EXPECT_EQ(t->FieldByName("USERNAME").AsString(), "Anna") << "building does not select";
  t->SetIndexName("USER_ID.NDX");
  EXPECT_EQ(t->FieldByName("USERNAME").AsString(), "Anna") << "selecting keeps the row";
  EXPECT_EQ(t->RecNo(), 1) << "now first in number order";
  EXPECT_EQ(Names(*t), (std::vector<std::string>{"Anna", "bert", "carl"}));
  t->BuildIndexFile("USERNAME.NDX", "USERNAME", ixExpression);
  t->SetIndexName("USERNAME.NDX");
  // Character keys compare as bytes: capitals first.
  EXPECT_EQ(Names(*t), (std::vector<std::string>{"Anna", "bert", "carl"}));
  t->SetIndexName("");
  EXPECT_EQ(t->IndexName(), "");
  EXPECT_EQ(Names(*t), (std::vector<std::string>{"carl", "Anna", "bert"}));
}

TEST_F(IndexUseTest, HeaderFlagsOfTheUserOrders) {
  auto t = Users({{1, "A"}});
  t->BuildIndexFile("USERNAME.NDX", "IDX_NAME", ixExpression);
  t->BuildIndexFile("USER_ID.NDX", "USER_ID", ixCaseInsensitive);
  t->BuildIndexFile("USERCOUNT.NDX", "COUNT", ixDescending);
  t->Close();
  auto name = ReadBytes(Path("USERNAME.NDX"));
  EXPECT_EQ(name[8], 0x10);
  EXPECT_EQ(name[9], 'C');
  EXPECT_EQ(name[12], 50);
  EXPECT_EQ(name[18], 60);
  EXPECT_EQ(name[14], 8);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(&name[24])), "IDX_NAME");
  auto id = ReadBytes(Path("USER_ID.NDX"));
  EXPECT_EQ(id[8], 0x00);
  EXPECT_EQ(id[9], 'N');
  EXPECT_EQ(id[12], 8);
  auto count = ReadBytes(Path("USERCOUNT.NDX"));
  EXPECT_EQ(count[8], 0x08);
}

TEST_F(IndexUseTest, DescendingCountKeepsEqualKeysInRecordOrder) {
  auto t = MakeUserTable();
  t->Open();
  AddUser(*t, 1, "one", 5);
  AddUser(*t, 2, "two", 9);
  AddUser(*t, 3, "three", 5);
  AddUser(*t, 4, "four", 1);
  t->BuildIndexFile("USERCOUNT.NDX", "COUNT", ixDescending);
  t->SetIndexName("USERCOUNT.NDX");
  EXPECT_EQ(Names(*t), (std::vector<std::string>{"two", "one", "three", "four"}));
}

TEST_F(IndexUseTest, DeletedRowsHaveEntriesButAreNotShown) {
  auto t = Users({{1, "A"}, {2, "B"}, {3, "C"}});
  t->First();
  t->Next();
  t->Delete();
  t->BuildIndexFile("USER_ID.NDX", "USER_ID", 0);
  t->SetIndexName("USER_ID.NDX");
  EXPECT_EQ(Names(*t), (std::vector<std::string>{"A", "C"}));
  EXPECT_EQ(t->RecordCount(), 3) << "a one-page index counts its entries";
  EXPECT_EQ(t->CountVisibleRows(), 2);
  t->Close();
  ExpectSound("USERNAME.DBF", {"USER_ID.NDX"});
}

TEST_F(IndexUseTest, RebuildInPlaceKeepsALongerFile) {
  auto t = MakeUserTable();
  t->Open();
  for (int i = 1; i <= 200; ++i) AddUser(*t, i, "U");
  t->BuildIndexFile("USER_ID.NDX", "USER_ID", 0);
  t->Close();
  size_t long_size = ReadBytes(Path("USER_ID.NDX")).size();
  t->Open();
  t->First();
  while (t->CountVisibleRows() > 3) t->Delete();
  t->PackFile();
  t->Close();
  t->Open();
  t->BuildIndexFile("USER_ID.NDX", "USER_ID", 0);
  t->BuildIndexFile("USER_ID.NDX", "USER_ID", 0);
  t->SetIndexName("USER_ID.NDX");
  EXPECT_EQ(t->CountVisibleRows(), 3);
  t->Close();
  auto bytes = ReadBytes(Path("USER_ID.NDX"));
  EXPECT_EQ(bytes[4], 2) << "page count restarts";
  EXPECT_GE(bytes.size(), 1024u);
  (void)long_size;
}

TEST_F(IndexUseTest, BuildOnUnknownOrDateFieldLeavesNoFileAndRaisesNothing) {
  auto t = Users({{1, "A"}});
  EXPECT_NO_THROW(t->BuildIndexFile("NOPE.NDX", "NOSUCH", 0));
  EXPECT_FALSE(test::Exists(Path("NOPE.NDX")));
  t->SetIndexName("NOPE.NDX");
  EXPECT_EQ(t->IndexName(), "");
  EXPECT_EQ(t->FieldByName("USERNAME").AsString(), "A");
}

TEST_F(IndexUseTest, StoredIndexNameWithoutOpenIndexGivesPhysicalOrder) {
  auto t = MakeUserTable("FOODCAL.DBF");
  t->SetIndexName("FOOD_ID.NDX");
  t->Open();
  EXPECT_EQ(t->IndexName(), "");
}

TEST_F(IndexUseTest, LocateUsesTheSelectedIndexOnlyForItsOwnField) {
  auto t = Users({{3, "carl"}, {1, "Anna"}, {2, "bert"}});
  t->BuildIndexFile("USER_ID.NDX", "USER_ID", ixCaseInsensitive);
  t->SetIndexName("USER_ID.NDX");
  t->First();
  EXPECT_TRUE(t->Locate("USER_ID", 2.0, 0));
  EXPECT_EQ(t->FieldByName("USERNAME").AsString(), "bert");
  EXPECT_FALSE(t->Locate("USER_ID", 9.0, 0));
  EXPECT_EQ(t->FieldByName("USERNAME").AsString(), "bert") << "failure leaves the row";
  t->BuildIndexFile("IDX.NDX", "USERNAME", 0);
  t->SetIndexName("IDX.NDX");
  // The index path compares whole keys: a partial key is not found...
  EXPECT_FALSE(t->Locate("USERNAME", std::string("ca"), loPartialKey));
  // ...while the walking search finds it.
  t->SetIndexName("");
  EXPECT_TRUE(t->Locate("USERNAME", std::string("ca"), loPartialKey));
}

TEST_F(IndexUseTest, LocateByIndexSkipsInvisibleRowsWithTheKey) {
  auto t = Users({{5, "first"}, {5, "second"}, {6, "other"}});
  t->First();
  t->Delete();  // the first row holding 5
  t->BuildIndexFile("USER_ID.NDX", "USER_ID", 0);
  t->SetIndexName("USER_ID.NDX");
  EXPECT_TRUE(t->Locate("USER_ID", 5.0, 0));
  EXPECT_EQ(t->FieldByName("USERNAME").AsString(), "second");
  t->OnFilterRecord = [](TTableObject& x, bool& ok) { ok = x.FieldByName("USERNAME").AsString() != "second"; };
  t->SetFiltered(true);
  EXPECT_FALSE(t->Locate("USER_ID", 5.0, 0));
}

TEST_F(IndexUseTest, AppendsAndEditsKeepEveryOpenIndexCurrent) {
  auto t = Users({{2, "b"}, {4, "d"}});
  t->BuildIndexFile("USER_ID.NDX", "USER_ID", 0);
  t->BuildIndexFile("USERNAME.NDX", "USERNAME", 0);
  t->SetIndexName("USER_ID.NDX");
  AddUser(*t, 3, "c");
  AddUser(*t, 1, "a");
  AddUser(*t, 4, "d2");
  EXPECT_EQ(Names(*t), (std::vector<std::string>{"a", "b", "c", "d", "d2"}));
  // Editing a key moves the row after the rows already holding the new key.
  t->Locate("USERNAME", std::string("a"), 0);
  t->Edit();
  t->FieldByName("USER_ID").SetAsInteger(4);
  t->Post();
  EXPECT_EQ(Names(*t), (std::vector<std::string>{"b", "c", "d", "d2", "a"}));
  t->SetIndexName("USERNAME.NDX");
  EXPECT_EQ(Names(*t), (std::vector<std::string>{"a", "b", "c", "d", "d2"}));
  t->Close();
  ExpectSound("USERNAME.DBF", {"USER_ID.NDX", "USERNAME.NDX"});
}

TEST_F(IndexUseTest, PrimaryIndexRefusesADuplicateAndLeavesNoHalfInsertedKeys) {
  auto t = Users({{1, "a"}, {2, "b"}});
  t->BuildIndexFile("NAMES.NDX", "USERNAME", 0);
  t->BuildIndexFile("PK.NDX", "USER_ID", ixPrimary);
  t->Append();
  t->FieldByName("USER_ID").SetAsInteger(2);
  t->FieldByName("USERNAME").SetAsString("dup");
  try {
    t->Post();
    FAIL();
  } catch (const ETableError& e) {
    std::string expected = "Key violation. (Key already present in file).\r\nIndex: " +
                           Path("PK.NDX") + "\r\nRecord=2 Key='2'.";
    EXPECT_EQ(e.what(), expected);
  }
  EXPECT_EQ(t->State(), TDataSetState::dsInsert);
  t->Cancel();
  EXPECT_EQ(t->RecordCount(), 2);
  // An edit to a present key is refused the same way and leaves the record.
  t->First();
  t->Edit();
  t->FieldByName("USER_ID").SetAsInteger(2);
  EXPECT_THROW(t->Post(), ETableError);
  t->Cancel();
  EXPECT_EQ(t->FieldByName("USER_ID").AsInteger(), 1);
  t->Close();
  ExpectSound("USERNAME.DBF", {"NAMES.NDX", "PK.NDX"});
}

TEST_F(IndexUseTest, PackRebuildsOpenIndexesUnderTheirNames) {
  auto t = Users({{3, "c"}, {1, "a"}, {2, "b"}});
  t->BuildIndexFile("USER_ID.NDX", "USER_ID", 0);
  t->First();
  t->Delete();
  t->PackFile();
  t->Close();
  EXPECT_FALSE(test::Exists(Path("USER_ID_1.NDX")));
  ExpectSound("USERNAME.DBF", {"USER_ID.NDX"});
  auto u = NewTable("USERNAME.DBF");
  u->Indexes.push_back(TIndexDef{"USER_ID.NDX", "", 0});
  u->SetIndexName("USER_ID.NDX");
  u->Open();
  EXPECT_EQ(Names(*u), (std::vector<std::string>{"a", "b"}));
}

TEST_F(IndexUseTest, IndexesListedWithTheTableAreOpenedOrBuilt) {
  auto t = Users({{2, "b"}, {1, "a"}});
  t->Close();
  t->Indexes.push_back(TIndexDef{"BYID.NDX", "USER_ID", 0});
  t->SetIndexFieldNames("user_id");
  EXPECT_EQ(t->IndexName(), "BYID.NDX");
  t->Open();
  EXPECT_TRUE(test::Exists(Path("BYID.NDX")));
  EXPECT_EQ(Names(*t), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(t->IndexFieldNames(), "USER_ID");
  t->Close();
  t->Indexes = {TIndexDef{"MISSING.NDX", "", 0}};
  EXPECT_THROW(t->Open(), ETableError);
  EXPECT_FALSE(t->Active());
}

TEST_F(IndexUseTest, BookmarksAndPositionEstimates) {
  auto t = MakeUserTable();
  t->Open();
  for (int i = 40; i >= 1; --i) AddUser(*t, i, "U" + std::to_string(i));
  t->BuildIndexFile("USER_ID.NDX", "USER_ID", 0);
  t->SetIndexName("USER_ID.NDX");
  t->GotoBookmark(2147483647);
  EXPECT_EQ(t->FieldByName("USER_ID").AsInteger(), 40);
  t->GotoBookmark(0);
  EXPECT_EQ(t->FieldByName("USER_ID").AsInteger(), 1);
  t->GotoBookmark(38);  // record 38 holds user 3
  EXPECT_EQ(t->FieldByName("USER_ID").AsInteger(), 3);
  t->First();
  EXPECT_EQ(t->RecNo(), 1);
  t->Next();
  t->Next();
  int32_t position = t->RecNo();
  t->Last();
  t->SetRecNo(position);
  EXPECT_EQ(t->FieldByName("USER_ID").AsInteger(), 3);
}

TEST_F(IndexUseTest, SharedTableIsBuiltExclusivelyAndReopenedShared) {
  auto t = MakeUserTable("USERCAL.DBF");
  t->Exclusive = false;
  t->Open();
  AddUser(*t, 2, "b");
  AddUser(*t, 1, "a");
  t->BuildIndexFile("USERCAL.NDX", "USERNAME", ixCaseInsensitive);
  t->SetIndexName("USERCAL.NDX");
  EXPECT_EQ(Names(*t), (std::vector<std::string>{"a", "b"}));
  AddUser(*t, 3, "aa");
  EXPECT_EQ(Names(*t), (std::vector<std::string>{"a", "aa", "b"}));
  // Another shared reader keeps the build from getting the table to itself.
  auto other = NewTable("USERCAL.DBF");
  other->Exclusive = false;
  other->Open();
  EXPECT_NO_THROW(t->BuildIndexFile("OTHER.NDX", "USERNAME", 0));
  EXPECT_FALSE(test::Exists(Path("OTHER.NDX")));
}

// A shared table's index files are its own during a build too: the build
// has them to itself, gives them back shared, and keeps the current row of
// the index selected meanwhile.
TEST_F(IndexUseTest, SharedBuildTakesTheIndexFilesAlongAndGivesThemBack) {
  auto t = MakeUserTable("USERCAL.DBF");
  t->Exclusive = false;
  t->Open();
  for (auto [id, name] : {std::pair{3, "c"}, {1, "a"}, {4, "d"}, {2, "b"}}) AddUser(*t, id, name);
  t->BuildIndexFile("BYNAME.NDX", "USERNAME", 0);
  t->SetIndexName("BYNAME.NDX");
  ASSERT_TRUE(t->Locate("USERNAME", TVariant(std::string("b")), 0));

  t->BuildIndexFile("BYID.NDX", "USER_ID", 0);
  EXPECT_EQ(t->FieldByName("USERNAME").AsString(), "b");
  t->Next();
  EXPECT_EQ(t->FieldByName("USERNAME").AsString(), "c");
  // Both files are shared again: another program may open them for writing.
  for (const char* name : {"BYNAME.NDX", "BYID.NDX"}) {
    TIndexFile other;
    EXPECT_NO_THROW(other.Open(Path(name), TOpenMode::SharedOpen)) << name;
  }
  AddUser(*t, 5, "aa");
  ExpectSound("USERCAL.DBF", {"BYNAME.NDX", "BYID.NDX"});
}

TEST_F(IndexUseTest, SharedBuildIsRefusedWhileSomeoneHoldsAnIndexFile) {
  auto t = MakeUserTable("USERCAL.DBF");
  t->Exclusive = false;
  t->Open();
  AddUser(*t, 2, "b");
  AddUser(*t, 1, "a");
  t->BuildIndexFile("BYNAME.NDX", "USERNAME", 0);
  t->SetIndexName("BYNAME.NDX");
  TIndexFile holder;
  holder.Open(Path("BYNAME.NDX"), TOpenMode::SharedOpen);
  EXPECT_NO_THROW(t->BuildIndexFile("BYID.NDX", "USER_ID", 0));
  EXPECT_FALSE(test::Exists(Path("BYID.NDX")));
  // The index in use goes on as before.
  EXPECT_EQ(Names(*t), (std::vector<std::string>{"a", "b"}));
  AddUser(*t, 3, "c");
  EXPECT_EQ(Names(*t), (std::vector<std::string>{"a", "b", "c"}));
}

}  // namespace
}  // namespace kalbor
