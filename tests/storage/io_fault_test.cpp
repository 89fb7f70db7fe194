// Failing reads and writes at every point of the table layer's changes.
//
// Each sweep makes a fresh diary table, runs the operation once to count its
// I/O calls, then runs it again once for every call k with call k failing
// (ENOSPC, EIO or a short write; once, or from k on as a full disk stays
// full). After every failure: the error arrives as ETableError, the table
// object keeps its previous state, the file still opens and holds every row
// posted before, and no index claims rows the table lacks. Then the disk is
// given back and the operation either retried or dropped, and the file must
// hold exactly what that leads to.
#include <errno.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <iterator>

#include "diary_fixture.h"
#include "check_index.h"
#include "storage/page_file.h"
#include "test_util.h"

namespace kalbor {
namespace {

using test::TDiaryRow;

const char kTable[] = "USER0001.DBF";
const char kIndex[] = "USER0001.NDX";

// Fails call `fail_at` (counted from 0 from installation), and with `sticky`
// every call after it too. A short write applies to writes; other calls
// asked to fail short fail with EIO.
class FaultHook : public TIoFaultHook {
 public:
  int fail_at = -1;  // -1: count only
  int error = EIO;
  bool sticky = false;
  int calls = 0;
  int failed = 0;
  std::vector<std::string> trace;

  int Before(TIoOp op, const std::string& path, uint64_t offset, size_t length) override {
    int n = calls++;
    const char* verb = op == TIoOp::Read ? "read " : op == TIoOp::Write ? "write " : "truncate ";
    trace.push_back(verb + path.substr(path.rfind('/') + 1) + " @" + std::to_string(offset) +
                    "+" + std::to_string(length));
    if (fail_at < 0 || n < fail_at || (n > fail_at && !sticky)) return 0;
    ++failed;
    if (error == kShortWrite && op != TIoOp::Write) return EIO;
    return error;
  }
};

class ScopedHook {
 public:
  explicit ScopedHook(TIoFaultHook* hook) { SetIoFaultHook(hook); }
  ~ScopedHook() { SetIoFaultHook(nullptr); }
  ScopedHook(const ScopedHook&) = delete;
  ScopedHook& operator=(const ScopedHook&) = delete;
};

struct Fault {
  const char* name;
  int error;
  bool sticky;
};

const Fault kFaults[] = {
    {"ENOSPC once", ENOSPC, false},
    {"EIO once", EIO, false},
    {"short write once", TIoFaultHook::kShortWrite, false},
    {"ENOSPC from here on", ENOSPC, true},
    {"EIO from here on", EIO, true},
};

enum class Recovery { Retry, Drop };

TDiaryRow Row(int32_t food_id) {
  TDiaryRow r;
  r.food_id = food_id;
  r.group_id = food_id % 22;
  r.kind = 1 + food_id % 5;
  r.serial = 40000 + food_id / 3;
  r.quantity = 10 * food_id;
  r.calories = 7 * food_id;
  return r;
}

// One table in its own folder, opened, with the rows the test posted.
struct World {
  test::TempDir dir;
  std::unique_ptr<TTableObject> table;
  std::vector<TDiaryRow> rows;  // what the file must hold, in physical order
  bool indexed = false;
};

// `rows` rows with identities 1 to n; row 3 marked deleted; opened
// exclusively; with `indexed` an index on INDEXFLD is built and kept open.
std::unique_ptr<World> MakeWorld(int rows, bool indexed) {
  auto w = std::make_unique<World>();
  test::CreateDiary(w->dir.path(), kTable);
  w->table = test::DiaryObject(w->dir.path(), kTable);
  w->table->Open();
  for (int i = 1; i <= rows; ++i) {
    test::AppendDiaryRow(*w->table, Row(i));
    w->rows.push_back(Row(i));
  }
  if (rows >= 3) {
    EXPECT_TRUE(test::GotoFood(*w->table, 3));
    w->table->Delete();
    w->rows[2].deleted = true;
  }
  if (indexed) w->table->BuildIndexFile(kIndex, "INDEXFLD", 0);
  w->indexed = indexed;
  w->table->First();
  return w;
}

void ExpectRows(const World& w, const std::vector<TDiaryRow>& expected, const char* when) {
  SCOPED_TRACE(when);
  std::vector<TDiaryRow> got = test::ReadDiary(w.dir.path(), kTable);
  ASSERT_EQ(got.size(), expected.size());
  for (size_t i = 0; i < got.size(); ++i) {
    EXPECT_TRUE(got[i].SameValues(expected[i]) && got[i].deleted == expected[i].deleted)
        << "record " << i + 1 << " is " << got[i] << ", expected " << expected[i];
  }
}

// Live rows of `rows` in order: what a pack leaves.
std::vector<TDiaryRow> Packed(const std::vector<TDiaryRow>& rows) {
  std::vector<TDiaryRow> out;
  for (const TDiaryRow& r : rows)
    if (!r.deleted) out.push_back(r);
  return out;
}

void ExpectIndexSound(const World& w) {
  if (!test::Exists(w.dir / kIndex)) return;
  std::vector<std::string> faults = test::CheckIndex(w.dir / kTable, w.dir / kIndex);
  EXPECT_TRUE(faults.empty()) << "index: " << (faults.empty() ? "" : faults.front());
}

// An operation under test.
struct Operation {
  const char* name;
  int rows = 6;
  bool indexed = false;
  // Brings the world to where the operation starts (no failures yet).
  std::function<void(World&)> prepare;
  // Runs the operation on the world's open table.
  std::function<void(World&)> run;
  // Checks right after a failure: the object's state and the file's rows.
  std::function<void(World&)> after_failure;
  // Puts the object back on its feet with the disk given back, as a caller
  // would after the error: retry, or drop the change.
  std::function<void(World&, Recovery)> recover;
  // What the file holds after success (or a successful retry) / after a
  // dropped change.
  std::function<std::vector<TDiaryRow>(const World&)> done, dropped;
  // Index builds: a build that returns (or is retried) leaves the index.
  bool builds_index = false;
};

void Sweep(const Operation& op) {
  // Count the calls of one undisturbed run.
  std::vector<std::string> trace;
  int total = 0;
  {
    auto w = MakeWorld(op.rows, op.indexed);
    if (op.prepare) op.prepare(*w);
    FaultHook counter;
    {
      ScopedHook scoped(&counter);
      op.run(*w);
    }
    total = counter.calls;
    trace = counter.trace;
    w->table->Close();
    ExpectRows(*w, op.done(*w), "undisturbed run");
    ExpectIndexSound(*w);
  }
  ASSERT_GT(total, 0) << op.name << " does no I/O";
  std::printf("%s%s: %d I/O calls, each failed in %zu ways\n", op.name,
              op.indexed ? " (indexed)" : "", total, std::size(kFaults) * 2);
  if (std::getenv("KALBOR_IO_TRACE"))
    for (const std::string& line : trace) std::printf("  %s\n", line.c_str());
  for (const Fault& fault : kFaults) {
    for (int k = 0; k < total; ++k) {
      for (Recovery recovery : {Recovery::Retry, Recovery::Drop}) {
        FaultHook hook;
        std::string what = std::string(op.name) + ", call " + std::to_string(k) + " of " +
                           std::to_string(total) + " (" + trace[k] + "), " + fault.name +
                           (recovery == Recovery::Retry ? ", retried" : ", dropped");
        SCOPED_TRACE(what);
        auto w = MakeWorld(op.rows, op.indexed);
        if (op.prepare) op.prepare(*w);
        hook.fail_at = k;
        hook.error = fault.error;
        hook.sticky = fault.sticky;
        bool threw = false;
        {
          ScopedHook scoped(&hook);
          try {
            op.run(*w);
          } catch (const ETableError&) {
            threw = true;
          } catch (const std::exception& e) {
            ADD_FAILURE() << "not an ETableError: " << e.what();
            threw = true;
          }
        }
        if (hook.failed == 0) continue;  // the path changed before call k
        if (!threw) {
          // Only a call after the change was complete may fail unreported
          // (the refresh that reads the row back): the change must be whole
          // in the file.
          EXPECT_EQ(w->table->State(), TDataSetState::dsBrowse);
          ExpectRows(*w, op.done(*w), "a failure reported as success");
          w->table->Close();
          ExpectRows(*w, op.done(*w), "after closing");
          if (op.builds_index || op.indexed) {
            EXPECT_TRUE(test::Exists(w->dir / kIndex)) << "a failure reported as success";
          }
        } else {
          op.after_failure(*w);
          op.recover(*w, recovery);
          w->table->Close();
          ExpectRows(*w, recovery == Recovery::Retry ? op.done(*w) : op.dropped(*w),
                     "after recovery");
          if (op.builds_index && recovery == Recovery::Retry) {
            EXPECT_TRUE(test::Exists(w->dir / kIndex)) << "the retried build left no index";
          }
        }
        ExpectIndexSound(*w);
        if (::testing::Test::HasFailure()) return;  // one clear report per sweep
      }
    }
  }
}

// --- The operations -----------------------------------------------------------

Operation AppendOp(int rows, bool indexed) {
  Operation op;
  op.name = "append";
  op.rows = rows;
  op.indexed = indexed;
  const TDiaryRow added = Row(100);
  op.run = [added](World& w) { test::AppendDiaryRow(*w.table, added); };
  op.after_failure = [](World& w) {
    EXPECT_EQ(w.table->State(), TDataSetState::dsInsert) << "a failed post stays in insert state";
    ExpectRows(w, w.rows, "right after the failure");
  };
  op.recover = [](World& w, Recovery r) {
    if (r == Recovery::Retry) w.table->Post();
    else w.table->Cancel();
  };
  op.done = [added](const World& w) {
    auto rows = w.rows;
    rows.push_back(added);
    return rows;
  };
  op.dropped = [](const World& w) { return w.rows; };
  return op;
}

Operation EditOp(bool indexed) {
  Operation op;
  op.name = "edit";
  op.indexed = indexed;
  TDiaryRow edited = Row(2);
  edited.quantity = 999;
  edited.calories = 12345;
  edited.kind = 5;
  edited.serial += 40;  // INDEXFLD moves: the index entry moves too
  op.run = [edited](World& w) {
    ASSERT_TRUE(test::GotoFood(*w.table, 2));
    w.table->Edit();
    test::SetDiaryRow(*w.table, edited);
    w.table->Post();
  };
  op.after_failure = [](World& w) {
    TDataSetState s = w.table->State();
    EXPECT_TRUE(s == TDataSetState::dsEdit || s == TDataSetState::dsBrowse);
    ExpectRows(w, w.rows, "right after the failure");
  };
  op.recover = [edited](World& w, Recovery r) {
    if (r == Recovery::Drop) return w.table->Cancel();
    if (w.table->State() != TDataSetState::dsEdit) {
      // The edit itself failed to begin: begin it again.
      ASSERT_TRUE(test::GotoFood(*w.table, 2));
      w.table->Edit();
      test::SetDiaryRow(*w.table, edited);
    }
    w.table->Post();
  };
  op.done = [edited](const World& w) {
    auto rows = w.rows;
    rows[1] = edited;
    return rows;
  };
  op.dropped = [](const World& w) { return w.rows; };
  return op;
}

Operation DeleteOp(bool indexed) {
  Operation op;
  op.name = "delete";
  op.indexed = indexed;
  op.run = [](World& w) {
    ASSERT_TRUE(test::GotoFood(*w.table, 4));
    w.table->Delete();
  };
  op.after_failure = [](World& w) {
    EXPECT_EQ(w.table->State(), TDataSetState::dsBrowse)
        << "a failed delete leaves the table browsing";
    ExpectRows(w, w.rows, "right after the failure");
  };
  op.recover = [](World& w, Recovery r) {
    if (r == Recovery::Drop) {
      // Moving on must not carry out the delete that failed.
      w.table->First();
      w.table->Last();
      return;
    }
    ASSERT_TRUE(test::GotoFood(*w.table, 4));
    w.table->Delete();
  };
  op.done = [](const World& w) {
    auto rows = w.rows;
    rows[3].deleted = true;
    return rows;
  };
  op.dropped = [](const World& w) { return w.rows; };
  return op;
}

Operation PackOp(bool indexed) {
  Operation op;
  op.name = "pack";
  op.indexed = indexed;
  op.run = [](World& w) { w.table->PackFile(); };
  op.after_failure = [](World& w) {
    // Open on the old file (or on the packed one when only reopening
    // failed) and usable; or else closed, never half open.
    if (w.table->Active()) {
      EXPECT_EQ(w.table->State(), TDataSetState::dsBrowse);
      EXPECT_EQ(w.table->CountVisibleRows(), static_cast<int32_t>(Packed(w.rows).size()));
      int32_t walked = 0;
      for (w.table->First(); !w.table->Eof(); w.table->Next()) ++walked;
      EXPECT_EQ(walked, static_cast<int32_t>(Packed(w.rows).size()));
    } else {
      EXPECT_EQ(w.table->State(), TDataSetState::dsInactive);
      EXPECT_THROW(w.table->First(), ETableError);
      EXPECT_EQ(w.table->RecordCount(), 0);
    }
    // Either the old file or the packed one: every live row is there.
    std::vector<TDiaryRow> got = test::ReadDiary(w.dir.path(), kTable);
    std::vector<TDiaryRow> live = Packed(got);
    std::vector<TDiaryRow> want = Packed(w.rows);
    ASSERT_EQ(live.size(), want.size());
    for (size_t i = 0; i < live.size(); ++i) EXPECT_TRUE(live[i].SameValues(want[i]));
  };
  op.recover = [](World& w, Recovery r) {
    // The table stays usable: it can be walked, and packed again. One that
    // was left closed is opened again (and its index built again, as opening
    // does not bring it back).
    if (!w.table->Active()) {
      w.table->Open();
      if (w.indexed) w.table->BuildIndexFile(kIndex, "INDEXFLD", 0);
    }
    EXPECT_GE(w.table->CountVisibleRows(), static_cast<int32_t>(Packed(w.rows).size()));
    if (r == Recovery::Retry) w.table->PackFile();
  };
  op.done = [](const World& w) { return Packed(w.rows); };
  // Dropped: the table's name holds the old file or the packed one.
  op.dropped = [](const World& w) {
    std::vector<TDiaryRow> got = test::ReadDiary(w.dir.path(), kTable);
    return got.size() == w.rows.size() ? w.rows : Packed(w.rows);
  };
  return op;
}

Operation BuildOp(bool indexed) {
  Operation op;
  op.name = indexed ? "index rebuild" : "index build";
  op.rows = 40;  // more keys than one page holds
  op.indexed = indexed;
  op.builds_index = true;
  op.run = [](World& w) { w.table->BuildIndexFile(kIndex, "INDEXFLD", 0); };
  op.after_failure = [](World& w) {
    EXPECT_TRUE(w.table->Active());
    EXPECT_EQ(w.table->State(), TDataSetState::dsBrowse);
    ExpectRows(w, w.rows, "right after the failure");
  };
  op.recover = [](World& w, Recovery r) {
    if (r == Recovery::Retry) w.table->BuildIndexFile(kIndex, "INDEXFLD", 0);
    // The table can be walked in index order or without the index.
    w.table->SetIndexName(kIndex);
    EXPECT_EQ(w.table->CountVisibleRows(), static_cast<int32_t>(Packed(w.rows).size()));
  };
  op.done = [](const World& w) { return w.rows; };
  op.dropped = [](const World& w) { return w.rows; };
  return op;
}

Operation CloseOp() {
  Operation op;
  op.name = "close";
  op.rows = 40;
  op.indexed = true;
  // An append leaves index pages to be written when the table closes.
  const TDiaryRow added = Row(100);
  op.prepare = [added](World& w) {
    test::AppendDiaryRow(*w.table, added);
    w.rows.push_back(added);
  };
  op.run = [](World& w) { w.table->Close(); };
  op.after_failure = [](World& w) {
    EXPECT_FALSE(w.table->Active()) << "a failed close still closes";
    EXPECT_EQ(w.table->State(), TDataSetState::dsInactive);
    ExpectRows(w, w.rows, "right after the failure");
  };
  op.recover = [](World& w, Recovery r) {
    if (r == Recovery::Retry) {
      w.table->Open();
      EXPECT_EQ(w.table->CountVisibleRows(), static_cast<int32_t>(Packed(w.rows).size()));
    }
  };
  op.done = [](const World& w) { return w.rows; };
  op.dropped = [](const World& w) { return w.rows; };
  return op;
}

// --- Sweeps -------------------------------------------------------------------

TEST(IoFaultTest, AppendSurvivesAFailureAtEveryCall) { Sweep(AppendOp(6, false)); }
TEST(IoFaultTest, AppendToAnEmptyTableSurvivesAFailureAtEveryCall) { Sweep(AppendOp(0, false)); }
TEST(IoFaultTest, EditSurvivesAFailureAtEveryCall) { Sweep(EditOp(false)); }
TEST(IoFaultTest, DeleteSurvivesAFailureAtEveryCall) { Sweep(DeleteOp(false)); }
TEST(IoFaultTest, PackSurvivesAFailureAtEveryCall) { Sweep(PackOp(false)); }

// With an index open, every change also goes through its pages.
TEST(IoFaultTest, IndexedAppendSurvivesAFailureAtEveryCall) { Sweep(AppendOp(6, true)); }
TEST(IoFaultTest, IndexedAppendThatSplitsTheRootSurvivesAFailureAtEveryCall) {
  Sweep(AppendOp(31, true));  // 31 numeric keys fill the root leaf: the next one splits it
}
TEST(IoFaultTest, IndexedEditSurvivesAFailureAtEveryCall) { Sweep(EditOp(true)); }
TEST(IoFaultTest, IndexedDeleteSurvivesAFailureAtEveryCall) { Sweep(DeleteOp(true)); }
TEST(IoFaultTest, IndexedPackSurvivesAFailureAtEveryCall) { Sweep(PackOp(true)); }
TEST(IoFaultTest, IndexBuildSurvivesAFailureAtEveryCall) { Sweep(BuildOp(false)); }
TEST(IoFaultTest, IndexRebuildSurvivesAFailureAtEveryCall) { Sweep(BuildOp(true)); }
TEST(IoFaultTest, CloseWithIndexPagesToWriteSurvivesAFailureAtEveryCall) { Sweep(CloseOp()); }

// A failed open leaves the table closed, and the file opens afterwards.
TEST(IoFaultTest, OpenSurvivesAFailureAtEveryCall) {
  test::TempDir dir;
  test::CreateDiary(dir.path(), kTable);
  {
    auto t = test::DiaryObject(dir.path(), kTable);
    t->Open();
    for (int i = 1; i <= 3; ++i) test::AppendDiaryRow(*t, Row(i));
    t->Close();
  }
  FaultHook counter;
  {
    auto t = test::DiaryObject(dir.path(), kTable);
    ScopedHook scoped(&counter);
    t->Open();
  }
  ASSERT_GT(counter.calls, 0);
  for (const Fault& fault : kFaults) {
    for (int k = 0; k < counter.calls; ++k) {
      SCOPED_TRACE(std::string(fault.name) + ", call " + std::to_string(k));
      auto t = test::DiaryObject(dir.path(), kTable);
      FaultHook hook;
      hook.fail_at = k;
      hook.error = fault.error;
      hook.sticky = fault.sticky;
      {
        ScopedHook scoped(&hook);
        try {
          t->Open();
          ADD_FAILURE() << "opened despite the failure";
        } catch (const ETableError&) {
        }
      }
      EXPECT_FALSE(t->Active());
      EXPECT_EQ(t->State(), TDataSetState::dsInactive);
      t->Open();
      EXPECT_EQ(t->CountVisibleRows(), 3);
      t->Close();
    }
  }
}

}  // namespace
}  // namespace kalbor
