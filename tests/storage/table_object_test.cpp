// Rows, navigation, editing, hooks and searching of the table object.
#include <functional>

#include "storage/dates.h"
#include "storage/table_file.h"
#include "table_fixture.h"

namespace kalbor {
namespace {

using test::ReadBytes;

class TableObjectTest : public test::TableFixture {
 protected:
  // Records every hook by name.
  void Watch(TTableObject& t, std::vector<std::string>& log) {
    auto hook = [&log](const char* name) { return [&log, name](TTableObject&) { log.push_back(name); }; };
    t.BeforeInsert = hook("BeforeInsert");
    t.AfterInsert = hook("AfterInsert");
    t.BeforeEdit = hook("BeforeEdit");
    t.AfterEdit = hook("AfterEdit");
    t.BeforePost = hook("BeforePost");
    t.AfterPost = hook("AfterPost");
    t.BeforeCancel = hook("BeforeCancel");
    t.AfterCancel = hook("AfterCancel");
    t.BeforeDelete = hook("BeforeDelete");
    t.AfterDelete = hook("AfterDelete");
    t.BeforeScroll = hook("BeforeScroll");
    t.AfterScroll = hook("AfterScroll");
    t.OnNewRecord = hook("OnNewRecord");
  }
};

TEST_F(TableObjectTest, InsertIntoEmptyTableBecomesCurrentRecordOne) {
  auto t = MakeUserTable();
  t->Open();
  EXPECT_TRUE(t->Eof());
  EXPECT_TRUE(t->Bof());
  AddUser(*t, 7, "Anna");
  EXPECT_EQ(t->FieldByName("USER_ID").AsInteger(), 7);
  EXPECT_EQ(t->RecNo(), 1);
  EXPECT_EQ(ReadBytes(Path("USERNAME.DBF"))[4], 1);  // stored count
  t->Close();
  auto bytes = ReadBytes(Path("USERNAME.DBF"));
  ASSERT_EQ(bytes.size(), 161u + 119 + 1);
  EXPECT_EQ(std::string(bytes.begin() + 161, bytes.begin() + 171), "         7");
  EXPECT_EQ(bytes.back(), 0x1A);
}

TEST_F(TableObjectTest, HooksRunInOrderForInsertEditAndDelete) {
  auto t = MakeUserTable();
  t->Open();
  std::vector<std::string> log;
  Watch(*t, log);
  AddUser(*t, 1, "A");
  EXPECT_EQ(log, (std::vector<std::string>{"BeforeInsert", "BeforeScroll", "OnNewRecord",
                                           "AfterInsert", "AfterScroll", "BeforePost",
                                           "AfterPost"}));
  log.clear();
  t->Edit();
  t->FieldByName("COUNT").SetAsInteger(3);
  t->Post();
  EXPECT_EQ(log, (std::vector<std::string>{"BeforeEdit", "AfterEdit", "BeforePost", "AfterPost"}));
  log.clear();
  t->Delete();
  EXPECT_EQ(log, (std::vector<std::string>{"BeforeDelete", "BeforeScroll", "BeforeEdit",
                                           "AfterEdit", "BeforePost", "AfterPost", "AfterDelete",
                                           "AfterScroll"}));
  log.clear();
  t->Insert();
  t->Cancel();
  EXPECT_EQ(log, (std::vector<std::string>{"BeforeInsert", "BeforeScroll", "OnNewRecord",
                                           "AfterInsert", "AfterScroll", "BeforeCancel",
                                           "BeforeScroll", "AfterCancel", "AfterScroll"}));
}

TEST_F(TableObjectTest, DeletingTheOnlyRowLeavesNoVisibleRows) {
  auto t = MakeUserTable();
  t->Open();
  AddUser(*t, 1, "A");
  t->Delete();
  EXPECT_TRUE(t->Eof());
  EXPECT_TRUE(t->Bof());
  EXPECT_TRUE(t->IsEmpty());
  EXPECT_EQ(t->RecordCount(), 1);
  EXPECT_EQ(t->CountVisibleRows(), 0);
  try {
    t->Delete();
    FAIL();
  } catch (const ETableError& e) {
    EXPECT_STREQ(e.what(), "Cannot perform this operation on an empty dataset");
  }
  t->SetShowDeleted(true);
  EXPECT_EQ(t->CountVisibleRows(), 1);
  EXPECT_FALSE(t->IsEmpty());
}

TEST_F(TableObjectTest, DeleteMakesTheNextRowCurrentOrElseThePrior) {
  auto t = MakeUserTable();
  t->Open();
  for (int i = 1; i <= 5; ++i) AddUser(*t, i, "U" + std::to_string(i));
  t->First();
  t->Next();
  t->Next();
  EXPECT_EQ(t->FieldByName("USER_ID").AsInteger(), 3);
  t->Delete();
  EXPECT_EQ(t->FieldByName("USER_ID").AsInteger(), 4);
  t->Last();
  t->Delete();
  EXPECT_EQ(t->FieldByName("USER_ID").AsInteger(), 4);
  EXPECT_EQ(Ids(*t), (std::vector<int>{1, 2, 4}));
}

TEST_F(TableObjectTest, NavigationSetsEofAndBofAndKeepsTheBoundaryRow) {
  auto t = MakeUserTable();
  t->Open();
  for (int i = 1; i <= 3; ++i) AddUser(*t, i, "U");
  t->First();
  EXPECT_TRUE(t->Bof());
  t->Prior();
  EXPECT_TRUE(t->Bof());
  EXPECT_EQ(t->FieldByName("USER_ID").AsInteger(), 1);
  t->Last();
  EXPECT_TRUE(t->Eof());
  t->Next();
  EXPECT_EQ(t->FieldByName("USER_ID").AsInteger(), 3);
  t->Prior();
  EXPECT_EQ(t->FieldByName("USER_ID").AsInteger(), 2);
  EXPECT_FALSE(t->Eof());
}

TEST_F(TableObjectTest, FieldWrittenWhileBrowsingChangesOnlyTheRowShown) {
  auto t = MakeUserTable();
  t->Open();
  AddUser(*t, 1, "Anna");
  t->FieldByName("USERNAME").SetAsString("Bert");
  EXPECT_EQ(t->FieldByName("USERNAME").AsString(), "Bert");
  try {
    t->Post();
    FAIL();
  } catch (const ETableError& e) {
    EXPECT_STREQ(e.what(), "Dataset not in edit or insert mode");
  }
  t->Refresh();
  EXPECT_EQ(t->FieldByName("USERNAME").AsString(), "Anna");
  // An edit starts from the stored values.
  t->FieldByName("USERNAME").SetAsString("Bert");
  t->Edit();
  EXPECT_EQ(t->FieldByName("USERNAME").AsString(), "Anna");
}

TEST_F(TableObjectTest, MovingSettlesAPendingEdit) {
  auto t = MakeUserTable();
  t->Open();
  AddUser(*t, 1, "A");
  AddUser(*t, 2, "B");
  t->First();
  t->Edit();
  t->FieldByName("COUNT").SetAsInteger(9);
  t->Next();  // posts
  t->First();
  EXPECT_EQ(t->FieldByName("COUNT").AsInteger(), 9);
  t->Edit();
  t->Next();  // nothing written: cancelled
  EXPECT_EQ(t->State(), TDataSetState::dsBrowse);
}

TEST_F(TableObjectTest, FilterHookDecidesWhatIsShownAndCounted) {
  auto t = MakeUserTable();
  t->Open();
  for (int i = 1; i <= 6; ++i) AddUser(*t, i, "U");
  t->OnFilterRecord = [](TTableObject& table, bool& accept) {
    accept = table.FieldByName("USER_ID").AsInteger() % 2 == 0;
  };
  t->First();
  t->Next();  // row 2
  t->SetFiltered(true);
  EXPECT_EQ(t->FieldByName("USER_ID").AsInteger(), 2);
  t->Prior();
  EXPECT_EQ(t->FieldByName("USER_ID").AsInteger(), 2);
  EXPECT_EQ(t->CountVisibleRows(), 3);
  EXPECT_EQ(t->FieldByName("USER_ID").AsInteger(), 2) << "counting leaves the current row";
  EXPECT_EQ(t->RecordCount(), 6);
  t->SetFiltered(false);
  EXPECT_EQ(t->CountVisibleRows(), 6);
}

TEST_F(TableObjectTest, CountVisibleRowsRunsNoScrollHooks) {
  auto t = MakeUserTable();
  t->Open();
  for (int i = 1; i <= 3; ++i) AddUser(*t, i, "U");
  int scrolls = 0;
  t->AfterScroll = [&](TTableObject&) { ++scrolls; };
  t->BeforeScroll = [&](TTableObject&) { ++scrolls; };
  EXPECT_EQ(t->CountVisibleRows(), 3);
  EXPECT_EQ(scrolls, 0);
}

TEST_F(TableObjectTest, LocateComparesTextWithAndWithoutOptions) {
  auto t = MakeUserTable();
  t->Open();
  AddUser(*t, 1, "SMITH");
  AddUser(*t, 2, "Smith");
  AddUser(*t, 3, "Jones");
  t->First();
  EXPECT_TRUE(t->Locate("USERNAME", std::string("Smith"), 0));
  EXPECT_EQ(t->FieldByName("USER_ID").AsInteger(), 2);
  EXPECT_TRUE(t->Locate("USERNAME", std::string("smi"), loCaseInsensitive | loPartialKey));
  EXPECT_EQ(t->FieldByName("USER_ID").AsInteger(), 1);
  t->Last();
  EXPECT_TRUE(t->Locate("USERNAME", std::string(""), loCaseInsensitive | loPartialKey));
  EXPECT_EQ(t->FieldByName("USER_ID").AsInteger(), 1);
  EXPECT_FALSE(t->Locate("USERNAME", std::string("smith"), 0));
  t->Last();
  EXPECT_FALSE(t->Locate("USERNAME", std::string("Nobody"), loCaseInsensitive));
  EXPECT_EQ(t->FieldByName("USER_ID").AsInteger(), 3) << "the previous row stays current";
  EXPECT_TRUE(t->Locate("USER_ID", 3.0, 0));
  EXPECT_TRUE(t->Locate("USER_ID;USERNAME", std::vector<TVariant>{2.0, std::string("Smith")}, 0));
  EXPECT_FALSE(t->Locate("USER_ID;USERNAME", std::vector<TVariant>{2.0}, 0)) << "value count must match";
}

TEST_F(TableObjectTest, LocateScrollsThroughEveryRowItPasses) {
  auto t = MakeUserTable();
  t->Open();
  for (int i = 1; i <= 4; ++i) AddUser(*t, i, "U" + std::to_string(i));
  int after = 0;
  t->AfterScroll = [&](TTableObject&) { ++after; };
  EXPECT_TRUE(t->Locate("USER_ID", 3.0, 0));
  // First, two Next moves, and the closing after-scroll of Locate itself.
  EXPECT_EQ(after, 4);
}

TEST_F(TableObjectTest, FloatFieldConversions) {
  auto t = MakeUserTable();
  t->Open();
  t->Append();
  TField& count = t->FieldByName("COUNT");
  count.SetAsFloat(2.5);
  EXPECT_EQ(count.AsFloat(), 2.0);  // a 9.0 column stores whole numbers
  count.SetAsString("3.5");
  EXPECT_EQ(count.AsInteger(), 4);
  count.SetAsString("");
  EXPECT_TRUE(count.IsNull());
  EXPECT_EQ(count.AsFloat(), 0);
  EXPECT_EQ(count.AsString(), "");
  try {
    count.SetAsString("12abc");
    FAIL();
  } catch (const ETableError& e) {
    EXPECT_STREQ(e.what(), "'12abc' is not a valid floating point value for field 'COUNT'");
  }
  EXPECT_THROW(count.SetAsFloat(1e10), ETableError);
  count.SetAsInteger(42);
  EXPECT_EQ(count.AsString(), "42");
  t->Post();
}

TEST_F(TableObjectTest, AsIntegerRoundsHalvesToEven) {
  TFieldDefs defs;
  defs.Add("F", ftFloat, 10);
  defs[0].Precision = 1;
  auto t = NewTable("F.DBF");
  t->SetTableLevel(3);
  t->CreateDbfFile(defs);
  t->Open();
  t->Append();
  for (auto [value, expected] : {std::pair{0.5, 0}, {1.5, 2}, {2.5, 2}, {-2.5, -2}, {2.6, 3}}) {
    t->FieldByName("F").SetAsFloat(value);
    EXPECT_EQ(t->FieldByName("F").AsInteger(), expected) << value;
  }
  t->Cancel();
}

TEST_F(TableObjectTest, TextThatTheCodePageCannotHoldIsRefused) {
  auto t = MakeUserTable();
  t->Open();
  t->Append();
  t->FieldByName("USERNAME").SetAsString("Änna €");
  EXPECT_EQ(t->FieldByName("USERNAME").AsString(), "Änna €");
  EXPECT_THROW(t->FieldByName("USERNAME").SetAsString("Анна"), ETableError);
  EXPECT_EQ(t->FieldByName("USERNAME").AsString(), "Änna €") << "nothing written";
  t->Post();
  auto bytes = ReadBytes(Path("USERNAME.DBF"));
  EXPECT_EQ(bytes[161 + 10], 0xC4);  // Ä in Windows-1252
}

TEST_F(TableObjectTest, BooleanAndDateFields) {
  TFieldDefs defs;
  defs.Add("USED", ftBoolean);
  defs.Add("DATUM", ftDate);
  auto t = NewTable("BD.DBF");
  t->SetTableLevel(3);
  t->CreateDbfFile(defs);
  t->Open();
  t->Append();
  EXPECT_FALSE(t->FieldByName("USED").AsBoolean());
  EXPECT_TRUE(t->FieldByName("DATUM").IsNull());
  EXPECT_EQ(t->FieldByName("DATUM").AsDateTime(), 0);
  t->FieldByName("USED").SetAsBoolean(true);
  t->FieldByName("DATUM").SetAsDateTime(DateToSerial(2002, 3, 15) + 0.75);
  t->Post();
  EXPECT_TRUE(t->FieldByName("USED").AsBoolean());
  EXPECT_EQ(t->FieldByName("DATUM").AsDateTime(), DateToSerial(2002, 3, 15));
  EXPECT_EQ(t->FieldByName("DATUM").AsString(), "2002-03-15");
  auto bytes = ReadBytes(Path("BD.DBF"));
  EXPECT_EQ(std::string(bytes.begin() + 97, bytes.begin() + 107), " T20020315");
}

TEST_F(TableObjectTest, PersistentFieldsMustMatchTheFile) {
  MakeUserTable();
  {
    auto t = NewTable("USERNAME.DBF");
    t->AddField(std::make_unique<TIntegerField>("USER_ID"));
    try {
      t->Open();
      FAIL();
    } catch (const ETableError& e) {
      EXPECT_STREQ(e.what(), "Type mismatch for field 'USER_ID', expecting: Integer actual: Float");
    }
    EXPECT_FALSE(t->Active());
  }
  {
    auto t = NewTable("USERNAME.DBF");
    t->AddField(std::make_unique<TStringField>("USERNAME", 40));
    try {
      t->Open();
      FAIL();
    } catch (const ETableError& e) {
      EXPECT_STREQ(e.what(), "Size mismatch for field 'USERNAME', expecting: 40 actual: 50");
    }
  }
  {
    auto t = NewTable("USERNAME.DBF");
    t->AddField(std::make_unique<TFloatField>("NOSUCH"));
    try {
      t->Open();
      FAIL();
    } catch (const ETableError& e) {
      EXPECT_STREQ(e.what(), "Field 'NOSUCH' not found");
    }
  }
  auto t = NewTable("USERNAME.DBF");
  t->AddField(std::make_unique<TFloatField>("COUNT"));
  t->Open();
  EXPECT_EQ(t->FieldCount(), 1u) << "exactly the declared fields";
  EXPECT_THROW(t->FieldByName("USER_ID"), ETableError);
}

TEST_F(TableObjectTest, LookupFieldsAreCheckedAndOpenTheirTable) {
  MakeUserTable();
  MakeUserTable("OTHER.DBF");
  auto lookup = NewTable("OTHER.DBF");
  auto t = NewTable("USERNAME.DBF");
  t->AddField(std::make_unique<TFloatField>("USER_ID"));
  auto* name = t->AddField(std::make_unique<TStringField>("Name", 50, TFieldKind::fkLookup));
  name->KeyFields = "USER_ID";
  name->LookupKeyFields = "USER_ID";
  try {
    t->Open();
    FAIL();
  } catch (const ETableError& e) {
    EXPECT_STREQ(e.what(), "Lookup information for field 'Name' is incomplete");
  }
  name->LookupDataSet = lookup.get();
  name->LookupResultField = "USERNAME";
  t->Open();
  EXPECT_TRUE(lookup->Active());
  name->OnGetText = [](TField&, std::string& text) { text = "shown"; };
  EXPECT_EQ(name->DisplayText(), "shown");
  t->Close();
  lookup->Close();
  std::remove(Path("OTHER.DBF").c_str());
  try {
    t->Open();
    FAIL();
  } catch (const ETableError& e) {
    EXPECT_EQ(std::string(e.what()), "Open: file not found: \"" + Path("OTHER.DBF") + "\".");
  }
  EXPECT_FALSE(t->Active());
}

TEST_F(TableObjectTest, SecondObjectOnAnExclusiveFileIsRefused) {
  auto first = MakeUserTable();
  first->Open();
  auto second = NewTable("username.dbf");  // another spelling of the same file
  try {
    second->Open();
    FAIL();
  } catch (const ETableError& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot open file " + Path("USERNAME.DBF"));
  }
  EXPECT_TRUE(first->Active());
  auto reader = NewTable("USERNAME.DBF");
  reader->ReadOnly = true;
  reader->Open();  // others may read
  EXPECT_TRUE(reader->Active());
  EXPECT_THROW(reader->Edit(), ETableError);
}

TEST_F(TableObjectTest, ClosingWritesTheHeaderUnlessReadOnly) {
  auto t = MakeUserTable();
  std::string path = Path("USERNAME.DBF");
  test::CorruptByte(path, 1, 50);  // an old update year
  test::Truncate(path, 161);       // and no marker
  t->ReadOnly = true;
  t->Open();
  t->Close();
  auto bytes = ReadBytes(path);
  EXPECT_EQ(bytes[1], 50);
  EXPECT_EQ(bytes.size(), 161u);
  t->ReadOnly = false;
  t->Open();
  t->Close();
  bytes = ReadBytes(path);
  EXPECT_NE(bytes[1], 50);
  EXPECT_EQ(bytes.size(), 162u);
}

TEST_F(TableObjectTest, MissingFileAndClosedTableMessages) {
  auto t = NewTable("NOPE.DBF");
  try {
    t->Open();
    FAIL();
  } catch (const ETableError& e) {
    EXPECT_EQ(std::string(e.what()), "Open: file not found: \"" + Path("NOPE.DBF") + "\".");
  }
  try {
    t->Next();
    FAIL();
  } catch (const ETableError& e) {
    EXPECT_STREQ(e.what(), "Cannot perform this operation on a closed dataset");
  }
  auto u = MakeUserTable();
  u->Open();
  EXPECT_THROW(u->SetFilePath("/tmp"), ETableError);
  try {
    u->CreateDbfFile();
    FAIL();
  } catch (const ETableError& e) {
    EXPECT_STREQ(e.what(), "Cannot perform this operation on an open dataset");
  }
}

TEST_F(TableObjectTest, CreateReplacesAnExistingTable) {
  auto t = MakeUserTable();
  t->Open();
  AddUser(*t, 1, "A");
  t->Close();
  t->CreateDbfFile();
  t->Open();
  EXPECT_EQ(t->RecordCount(), 0);
}

TEST_F(TableObjectTest, CreateFromAnotherTablesDefinitionsCopiesDescriptors) {
  auto t = MakeUserTable();
  t->Open();
  auto copy = NewTable("COPY.DBF");
  copy->CreateDbfFile(t->FileFieldDefs());
  auto a = ReadBytes(Path("USERNAME.DBF"));
  auto b = ReadBytes(Path("COPY.DBF"));
  ASSERT_EQ(a.size(), b.size());
  EXPECT_TRUE(std::equal(a.begin() + 32, a.end(), b.begin() + 32));
}

TEST_F(TableObjectTest, PackKeepsTheOldFileUnderTheSecondSpareName) {
  auto t = MakeUserTable();
  t->Open();
  for (int i = 1; i <= 3; ++i) AddUser(*t, i, "U" + std::to_string(i));
  t->First();
  t->Next();
  t->Delete();
  t->PackFile();
  t->Close();
  t->Open();
  EXPECT_EQ(t->RecordCount(), 2);
  EXPECT_EQ(Ids(*t), (std::vector<int>{1, 3}));
  EXPECT_TRUE(test::Exists(Path("USERNAME_2.DBF")));
  EXPECT_FALSE(test::Exists(Path("USERNAME_1.DBF")));
  EXPECT_EQ(ReadBytes(Path("USERNAME_2.DBF")).size(), 161u + 3 * 119 + 1);
  t->PackFile();
  EXPECT_TRUE(test::Exists(Path("USERNAME_3.DBF")));
  t->Close();
  auto shared = NewTable("USERNAME.DBF");
  shared->Exclusive = false;
  shared->Open();
  try {
    shared->PackFile();
    FAIL();
  } catch (const ETableError& e) {
    EXPECT_STREQ(e.what(), "Exclusive access is required for this operation.");
  }
}

TEST_F(TableObjectTest, DisableControlsNestsAndTellsOnce) {
  struct Counter : TDataLink {
    int events = 0;
    void DataEvent(TEvent, uint32_t) override { ++events; }
  } link;
  auto t = MakeUserTable();
  t->Open();
  t->AddDataLink(&link);
  t->DisableControls();
  t->DisableControls();
  for (int i = 1; i <= 3; ++i) AddUser(*t, i, "U");
  t->EnableControls();
  EXPECT_EQ(link.events, 0);
  t->EnableControls();
  EXPECT_EQ(link.events, 1);
  t->RemoveDataLink(&link);
}

// Each step tells the links no more than it changed: a stored row as that
// row, a move as a move, and only a new order, filter or file as a whole
// change. Suspended display tells once: a move if rows only moved.
TEST_F(TableObjectTest, EachChangeTellsTheLinksWhatItChanged) {
  struct Log : TDataLink {
    std::vector<std::string> told;
    void DataEvent(TEvent event, uint32_t recno) override {
      static const char* const kNames[] = {"Active", "DataSet", "RowPosted",
                                           "Scrolled", "Record", "State"};
      std::string line = kNames[static_cast<int>(event)];
      if (recno != 0) line += " " + std::to_string(recno);
      told.push_back(line);
    }
  };
  const auto even_ids = [](TTableObject& t, bool& accept) {
    accept = t.FieldByName("USER_ID").AsInteger() % 2 == 0;
  };
  using V = std::vector<std::string>;
  const struct {
    const char* step;
    std::function<void(TTableObject&)> act;
    V told;
  } kCases[] = {
      {"row added", [&](TTableObject& t) { AddUser(t, 4, "D"); },
       V{"State", "Record", "Record", "Record", "State", "RowPosted 4"}},
      {"row edited",
       [](TTableObject& t) {
         t.Edit();
         t.FieldByName("COUNT").SetAsInteger(7);
         t.Post();
       },
       V{"State", "Record", "State", "RowPosted 2"}},
      {"row deleted", [](TTableObject& t) { t.Delete(); }, V{"State", "State", "RowPosted 2"}},
      {"new row dropped",
       [](TTableObject& t) {
         t.Insert();
         t.Cancel();
       },
       V{"State", "State", "Scrolled"}},
      {"moved", [](TTableObject& t) { t.Next(); }, V{"Scrolled"}},
      {"refreshed", [](TTableObject& t) { t.Refresh(); }, V{"Scrolled"}},
      {"refreshed under a filter",
       [&](TTableObject& t) {
         t.OnFilterRecord = even_ids;
         t.SetFiltered(true);
         t.Refresh();
       },
       V{"DataSet", "DataSet"}},
      {"deleted rows shown", [](TTableObject& t) { t.SetShowDeleted(true); }, V{"DataSet"}},
      {"ordered by an index",
       [](TTableObject& t) {
         t.BuildIndexFile("USERNAME.NDX", "USERNAME", 0);
         t.SetIndexName("USERNAME.NDX");
       },
       V{"DataSet"}},
      {"walked with the display suspended",
       [](TTableObject& t) {
         t.DisableControls();
         for (t.First(); !t.Eof(); t.Next()) {
         }
         t.Locate("USER_ID", TVariant(2.0), 0);
         t.EnableControls();
       },
       V{"Scrolled"}},
      {"rows added with the display suspended",
       [&](TTableObject& t) {
         t.DisableControls();
         AddUser(t, 4, "D");
         t.First();
         t.EnableControls();
       },
       V{"DataSet"}},
      {"closed", [](TTableObject& t) { t.Close(); }, V{"Active"}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.step);
    auto t = MakeUserTable();
    t->Open();
    AddUser(*t, 1, "C");
    AddUser(*t, 2, "A");
    AddUser(*t, 3, "B");
    t->First();
    t->Next();  // row 2
    Log log;
    t->AddDataLink(&log);
    c.act(*t);
    EXPECT_EQ(log.told, c.told);
    t->RemoveDataLink(&log);
  }
}

// RecNoOf grows along the present order, physical or by an index of several
// levels (8 names of 50 characters to a page), is 0 for a row navigation
// would not show, and leaves the current row alone.
TEST_F(TableObjectTest, RecNoOfGrowsAlongTheOrderAndSkipsHiddenRows) {
  auto t = MakeUserTable();
  t->Open();
  const int kRows = 300;
  for (int i = 1; i <= kRows; ++i) AddUser(*t, i, "N" + std::to_string(i * 37 % kRows + 1000));
  t->First();
  t->Delete();  // record 1
  t->OnFilterRecord = [](TTableObject& table, bool& accept) {
    accept = table.FieldByName("USER_ID").AsInteger() != 5;
  };
  t->SetFiltered(true);
  t->BuildIndexFile("USERNAME.NDX", "USERNAME", 0);
  int scrolls = 0;
  t->AfterScroll = [&](TTableObject&) { ++scrolls; };
  for (const char* index : {"", "USERNAME.NDX"}) {
    SCOPED_TRACE(index);
    t->SetIndexName(index);
    ASSERT_TRUE(t->Locate("USER_ID", TVariant(6.0), 0));
    scrolls = 0;
    const std::vector<uint32_t> order = t->VisibleRecordNumbers();
    ASSERT_EQ(order.size(), static_cast<size_t>(kRows - 2));
    for (size_t i = 1; i < order.size(); ++i)
      ASSERT_LT(t->RecNoOf(order[i - 1]), t->RecNoOf(order[i])) << order[i];
    EXPECT_EQ(t->RecNoOf(1), 0) << "marked deleted";
    EXPECT_EQ(t->RecNoOf(5), 0) << "refused by the filter";
    EXPECT_EQ(t->RecNoOf(kRows + 1), 0) << "no such record";
    EXPECT_EQ(t->RecNoOf(6), t->RecNo()) << "the current row's own";
    EXPECT_EQ(t->FieldByName("USER_ID").AsInteger(), 6);
    EXPECT_EQ(scrolls, 0);
  }
}

TEST_F(TableObjectTest, ReadRowTextsLeavesTheCurrentRowAlone) {
  auto t = MakeUserTable();
  t->Open();
  for (int i = 1; i <= 3; ++i) AddUser(*t, i, "U" + std::to_string(i));
  t->First();
  int scrolls = 0;
  t->AfterScroll = [&](TTableObject&) { ++scrolls; };
  std::vector<std::string> texts;
  ASSERT_TRUE(t->ReadRowTexts(3, {"USERNAME", "COUNT"}, texts));
  EXPECT_EQ(texts, (std::vector<std::string>{"U3", "0"}));
  EXPECT_EQ(t->FieldByName("USER_ID").AsInteger(), 1);
  EXPECT_EQ(scrolls, 0);
  EXPECT_EQ(t->VisibleRecordNumbers(), (std::vector<uint32_t>{1, 2, 3}));
}

}  // namespace
}  // namespace kalbor
