// A table object over a fresh temporary folder, with verbs to make tables
// and rows for the tests of the table object.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "storage/errors.h"
#include "storage/table_object.h"
#include "test_util.h"

namespace kalbor::test {

class TableFixture : public ::testing::Test {
 protected:
  // USERNAME.DBF's layout: USER_ID N9, USERNAME C50, IDX_NAME C50, COUNT N9.
  std::unique_ptr<TTableObject> MakeUserTable(const std::string& name = "USERNAME.DBF") {
    auto t = NewTable(name);
    t->FieldDefs.Add("USER_ID", ftInteger);
    t->FieldDefs.Add("USERNAME", ftString, 50);
    t->FieldDefs.Add("IDX_NAME", ftString, 50);
    t->FieldDefs.Add("COUNT", ftInteger);
    t->SetTableLevel(3);
    t->CreateDbfFile();
    return t;
  }
  std::unique_ptr<TTableObject> NewTable(const std::string& name) {
    auto t = std::make_unique<TTableObject>();
    t->SetFilePath(dir_.path());
    t->SetTableName(name);
    t->Exclusive = true;
    return t;
  }
  void AddUser(TTableObject& t, int id, const std::string& name, int count = 0) {
    t.Append();
    t.FieldByName("USER_ID").SetAsInteger(id);
    t.FieldByName("USERNAME").SetAsString(name);
    t.FieldByName("COUNT").SetAsInteger(count);
    t.Post();
  }
  std::vector<int> Ids(TTableObject& t) {
    std::vector<int> ids;
    for (uint32_t recno : t.VisibleRecordNumbers()) {
      std::vector<std::string> texts;
      t.ReadRowTexts(recno, {"USER_ID"}, texts);
      ids.push_back(std::stoi(texts[0]));
    }
    return ids;
  }
  std::string Path(const std::string& name) { return dir_ / name; }

  TempDir dir_;
};

}  // namespace kalbor::test
