// kalbor-dbf from the outside: the built program run in a fresh temporary
// folder, with its standard input, output, error and exit status.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <regex>
#include <sstream>

#include "test_util.h"

namespace kalbor {
namespace {

using test::CorruptByte;
using test::Exists;
using test::ReadBytes;

struct TRun {
  int status = -1;
  std::string out, err;
};

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// The layout used throughout: ID N9, NAME C20, USED L, DAY D, KCAL N6.
const char kFoodFields[] = "ID:integer NAME:string:20 USED:boolean DAY:date KCAL:integer:6";

class KalborDbfTest : public ::testing::Test {
 protected:
  // Runs kalbor-dbf in the table folder with `input` on standard input.
  TRun Run(const std::vector<std::string>& args, const std::string& input = "") {
    const std::string in_path = io_ / "stdin", out_path = io_ / "stdout", err_path = io_ / "stderr";
    std::ofstream(in_path, std::ios::binary) << input;
    std::vector<std::string> argv_text{KALBOR_DBF};
    argv_text.insert(argv_text.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : argv_text) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = ::fork();
    if (pid == 0) {
      if (::chdir(dir_.path().c_str()) != 0) ::_exit(126);
      ::dup2(::open(in_path.c_str(), O_RDONLY), 0);
      ::dup2(::open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
      ::dup2(::open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
    int wstatus = 0;
    ::waitpid(pid, &wstatus, 0);
    TRun run;
    run.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
    run.out = ReadText(out_path);
    run.err = ReadText(err_path);
    return run;
  }
  // "a b c" as separate arguments.
  TRun Run(const std::string& words, const std::string& input = "") {
    std::vector<std::string> args;
    std::istringstream in(words);
    for (std::string w; in >> w;) args.push_back(w);
    return Run(args, input);
  }

  // Fixture verbs: each expects success.
  void Ok(const std::string& words, const std::string& input = "") {
    TRun r = Run(words, input);
    ASSERT_EQ(r.status, 0) << words << "\n" << r.err;
  }
  void CreateFood(const std::string& name = "FOOD.DBF") {
    Ok("create " + name + " " + kFoodFields);
  }
  // FOOD.DBF holding Brot (1), Apfel (2) and Milch (3).
  void CreateFoodWithThreeRows() {
    CreateFood();
    Ok("append FOOD.DBF",
       "ID,NAME,USED,DAY,KCAL\n"
       "1,Brot,T,2024-02-29,240\n"
       "2,Apfel,F,2024-03-01,52\n"
       "3,Milch,,,64\n");
  }
  std::string DumpCsv(const std::string& extra = "") {
    TRun r = Run("dump FOOD.DBF --csv " + extra);
    EXPECT_EQ(r.status, 0) << r.err;
    return r.out;
  }
  std::string Path(const std::string& name) { return dir_ / name; }

  test::TempDir dir_;  // the tables, and the program's working folder
  test::TempDir io_;   // the program's standard streams
};

// --- Rows in and out --------------------------------------------------------

TEST_F(KalborDbfTest, CsvRoundTripKeepsUmlautsCommasQuotesDatesAndBlanks) {
  CreateFood();
  TRun r = Run("append FOOD.DBF",
               "ID,NAME,USED,DAY,KCAL\r\n"
               "1,Äpfel,T,2024-02-29,52\r\n"
               "2,\"Brot, \"\"dunkel\"\"\",F,,240\r\n"
               "\r\n"
               "3,Milch,,1999-12-31,\r\n");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "3 rows appended\n");
  const std::string expected =
      "RECNO,ID,NAME,USED,DAY,KCAL\n"
      "1,1,Äpfel,T,2024-02-29,52\n"
      "2,2,\"Brot, \"\"dunkel\"\"\",F,,240\n"
      "3,3,Milch,,1999-12-31,\n";
  EXPECT_EQ(DumpCsv(), expected);

  // A dump feeds append directly: its RECNO column is passed over.
  CreateFood("COPY.DBF");
  Ok("append COPY.DBF", expected);
  EXPECT_EQ(Run("dump COPY.DBF --csv").out, expected);
}

TEST_F(KalborDbfTest, AppendTakesColumnsInAnyOrderAndLeavesOthersBlank) {
  CreateFood();
  Ok("append FOOD.DBF", "\xEF\xBB\xBFKCAL,name\n89,Banane\n");
  EXPECT_EQ(DumpCsv(), "RECNO,ID,NAME,USED,DAY,KCAL\n1,,Banane,,,89\n");
}

TEST_F(KalborDbfTest, PlainDumpLinesUpColumnsWithNumbersOnTheRight) {
  CreateFoodWithThreeRows();
  TRun r = Run("dump FOOD.DBF");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "RECNO  ID  NAME   USED  DAY         KCAL\n"
            "    1   1  Brot   T     2024-02-29   240\n"
            "    2   2  Apfel  F     2024-03-01    52\n"
            "    3   3  Milch                      64\n");
}

TEST_F(KalborDbfTest, AppendStopsAtABadRowAndKeepsTheRowsBeforeIt) {
  CreateFood();
  TRun r = Run("append FOOD.DBF",
               "ID,NAME,KCAL\n"
               "1,Ei,155\n"
               "2,Käse,viel\n"
               "3,Reis,130\n");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("line 3: 'viel' is not a valid floating point value for field 'KCAL'"),
            std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("1 row before it was appended"), std::string::npos) << r.err;
  EXPECT_EQ(DumpCsv(), "RECNO,ID,NAME,USED,DAY,KCAL\n1,1,Ei,,,155\n");
}

TEST_F(KalborDbfTest, AppendRefusesAnUnknownColumnBeforeAnyRow) {
  CreateFood();
  TRun r = Run("append FOOD.DBF", "ID,COLOUR\n1,rot\n");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("line 1: Field 'COLOUR' not found"), std::string::npos) << r.err;
  EXPECT_EQ(DumpCsv(), "RECNO,ID,NAME,USED,DAY,KCAL\n");
}

TEST_F(KalborDbfTest, AppendReportsTheLineOfAnUnclosedQuote) {
  CreateFood();
  TRun r = Run("append FOOD.DBF", "ID,NAME\n1,Ei\n2,\"Käse\n\n");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("line 3: a quoted value is not closed"), std::string::npos) << r.err;
  EXPECT_EQ(DumpCsv(), "RECNO,ID,NAME,USED,DAY,KCAL\n1,1,Ei,,,\n");
}

// --- Changing rows ----------------------------------------------------------

TEST_F(KalborDbfTest, DeletedRowsAreHiddenUnlessAskedForAndThenMarked) {
  CreateFoodWithThreeRows();
  Ok("delete FOOD.DBF 2");
  EXPECT_EQ(DumpCsv(),
            "RECNO,ID,NAME,USED,DAY,KCAL\n"
            "1,1,Brot,T,2024-02-29,240\n"
            "3,3,Milch,,,64\n");
  EXPECT_EQ(DumpCsv("--deleted"),
            "RECNO,ID,NAME,USED,DAY,KCAL\n"
            "1,1,Brot,T,2024-02-29,240\n"
            "*2,2,Apfel,F,2024-03-01,52\n"
            "3,3,Milch,,,64\n");
  EXPECT_NE(Run("dump FOOD.DBF --deleted").out.find("   *2   2  Apfel"), std::string::npos);
}

TEST_F(KalborDbfTest, DeleteChecksEveryRecordNumberBeforeMarkingAny) {
  CreateFoodWithThreeRows();
  TRun r = Run("delete FOOD.DBF 1 7");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("Record 7 does not exist"), std::string::npos) << r.err;
  EXPECT_EQ(DumpCsv("--deleted").find('*'), std::string::npos);
}

TEST_F(KalborDbfTest, SetChangesTheNamedFieldsOfOneRow) {
  CreateFoodWithThreeRows();
  Ok("set FOOD.DBF 3 KCAL=66 name=Vollmilch USED=T DAY=2024-12-24");
  Ok("set FOOD.DBF 1 DAY=");
  EXPECT_EQ(DumpCsv(),
            "RECNO,ID,NAME,USED,DAY,KCAL\n"
            "1,1,Brot,T,,240\n"
            "2,2,Apfel,F,2024-03-01,52\n"
            "3,3,Vollmilch,T,2024-12-24,66\n");
}

TEST_F(KalborDbfTest, SetWithOneBadValueChangesNothing) {
  CreateFoodWithThreeRows();
  const std::string before = DumpCsv();
  TRun r = Run("set FOOD.DBF 2 NAME=Birne KCAL=zwei");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("'zwei' is not a valid floating point value for field 'KCAL'"),
            std::string::npos)
      << r.err;
  r = Run("set FOOD.DBF 2 NAME=Birne WEIGHT=3");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("Field 'WEIGHT' not found"), std::string::npos) << r.err;
  r = Run("set FOOD.DBF 2 DAY=2023-02-29");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("'2023-02-29' is not a valid date"), std::string::npos) << r.err;
  EXPECT_EQ(DumpCsv(), before);
}

TEST_F(KalborDbfTest, SetRefusesDeletedAndMissingRecords) {
  CreateFoodWithThreeRows();
  Ok("delete FOOD.DBF 2");
  TRun r = Run("set FOOD.DBF 2 KCAL=1");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("Record 2 is marked deleted."), std::string::npos) << r.err;
  r = Run("set FOOD.DBF 4 KCAL=1");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("Record 4 does not exist: the table holds 3 records."), std::string::npos)
      << r.err;
  r = Run("set FOOD.DBF 0 KCAL=1");
  EXPECT_EQ(r.status, 2);
}

TEST_F(KalborDbfTest, PackRemovesDeletedRowsAndNumbersTheRestAnew) {
  CreateFoodWithThreeRows();
  Ok("delete FOOD.DBF 1 2");
  TRun r = Run("pack FOOD.DBF");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "1 record kept, 2 removed\n");
  EXPECT_EQ(DumpCsv("--deleted"), "RECNO,ID,NAME,USED,DAY,KCAL\n1,3,Milch,,,64\n");
  EXPECT_TRUE(Exists(Path("FOOD_2.DBF")));  // the table as it was
}

// --- Searching --------------------------------------------------------------

TEST_F(KalborDbfTest, LocatePrintsTheRecordNumberOrNotFoundWithStatusOne) {
  CreateFoodWithThreeRows();
  EXPECT_EQ(Run("locate FOOD.DBF NAME Milch").out, "3\n");
  TRun r = Run("locate FOOD.DBF NAME milch");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "not found\n");
  r = Run("locate FOOD.DBF name mil --nocase --partial");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "3\n");
  EXPECT_EQ(Run("locate FOOD.DBF KCAL 52").out, "2\n");
  EXPECT_EQ(Run("locate FOOD.DBF DAY 2024-02-29").out, "1\n");
  EXPECT_EQ(Run("locate FOOD.DBF USED F").out, "2\n");
  Ok("delete FOOD.DBF 2");
  EXPECT_EQ(Run("locate FOOD.DBF KCAL 52").status, 1);  // deleted rows are not found
}

TEST_F(KalborDbfTest, LocateRefusesAValueOfTheWrongKind) {
  CreateFoodWithThreeRows();
  TRun r = Run("locate FOOD.DBF DAY yesterday");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("'yesterday' is not a valid date"), std::string::npos) << r.err;
}

// --- Header -----------------------------------------------------------------

TEST_F(KalborDbfTest, HeaderDescribesTheFileAndEachField) {
  CreateFoodWithThreeRows();
  TRun r = Run("header FOOD.DBF");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(std::regex_match(
      r.out, std::regex("level          3\n"
                        "last update    20[0-9][0-9]-[01][0-9]-[0-3][0-9]\n"
                        "records        3\n"
                        "header length  193\n"
                        "record length  45\n"
                        "fields         5\n"
                        "ID          N    9   0\n"
                        "NAME        C   20   0\n"
                        "USED        L    1   0\n"
                        "DAY         D    8   0\n"
                        "KCAL        N    6   0\n")))
      << r.out;
}

TEST_F(KalborDbfTest, HeaderShowsAStoredCountThatDisagreesWithTheFile) {
  CreateFoodWithThreeRows();
  CorruptByte(Path("FOOD.DBF"), 4, 9);
  EXPECT_NE(Run("header FOOD.DBF").out.find("records        3 (the header says 9)\n"),
            std::string::npos);
}

TEST_F(KalborDbfTest, ReadingCommandsLeaveEveryByteAlone) {
  CreateFoodWithThreeRows();
  Ok("index FOOD.DBF NAME.NDX NAME");
  Ok("delete FOOD.DBF 2 --index NAME.NDX");
  CorruptByte(Path("FOOD.DBF"), 1, 99);  // last update in 1999: any write would show
  const auto table = ReadBytes(Path("FOOD.DBF"));
  const auto index = ReadBytes(Path("NAME.NDX"));
  Ok("dump FOOD.DBF --deleted");
  Ok("dump FOOD.DBF --csv --index NAME.NDX");
  Ok("header FOOD.DBF");
  Ok("locate FOOD.DBF NAME Milch --index NAME.NDX");
  Ok("check FOOD.DBF NAME.NDX");
  EXPECT_EQ(ReadBytes(Path("FOOD.DBF")), table);
  EXPECT_EQ(ReadBytes(Path("NAME.NDX")), index);
}

// --- Indexes ----------------------------------------------------------------

TEST_F(KalborDbfTest, IndexGivesDumpAndLocateItsOrderAndStaysCurrent) {
  CreateFoodWithThreeRows();
  Ok("index FOOD.DBF NAME.NDX NAME");
  EXPECT_EQ(Run("dump FOOD.DBF --csv --index NAME.NDX").out,
            "RECNO,ID,NAME,USED,DAY,KCAL\n"
            "2,2,Apfel,F,2024-03-01,52\n"
            "1,1,Brot,T,2024-02-29,240\n"
            "3,3,Milch,,,64\n");
  Ok("append FOOD.DBF --index NAME.NDX", "ID,NAME\n4,Butter\n");
  Ok("set FOOD.DBF 2 NAME=Zwiebel --index NAME.NDX");
  EXPECT_EQ(Run("dump FOOD.DBF --csv --index NAME.NDX").out,
            "RECNO,ID,NAME,USED,DAY,KCAL\n"
            "1,1,Brot,T,2024-02-29,240\n"
            "4,4,Butter,,,\n"
            "3,3,Milch,,,64\n"
            "2,2,Zwiebel,F,2024-03-01,52\n");
  EXPECT_EQ(Run("locate FOOD.DBF name Butter --index NAME.NDX").out, "4\n");
  // The search goes through the index, which compares whole keys.
  EXPECT_EQ(Run("locate FOOD.DBF name Butt --partial --index NAME.NDX").status, 1);
  EXPECT_EQ(Run("locate FOOD.DBF name Butt --partial").out, "4\n");
  TRun r = Run("check FOOD.DBF NAME.NDX");
  EXPECT_EQ(r.status, 0) << r.out;
}

TEST_F(KalborDbfTest, DescendingIndexOrdersGreatestFirst) {
  CreateFoodWithThreeRows();
  Ok("index FOOD.DBF KCAL.NDX KCAL --options 4");
  EXPECT_EQ(Run("dump FOOD.DBF --csv --index KCAL.NDX").out,
            "RECNO,ID,NAME,USED,DAY,KCAL\n"
            "1,1,Brot,T,2024-02-29,240\n"
            "3,3,Milch,,,64\n"
            "2,2,Apfel,F,2024-03-01,52\n");
}

TEST_F(KalborDbfTest, PackRebuildsTheIndexesGiven) {
  CreateFoodWithThreeRows();
  Ok("index FOOD.DBF NAME.NDX NAME");
  Ok("delete FOOD.DBF 1 --index NAME.NDX");
  Ok("pack FOOD.DBF --index NAME.NDX");
  EXPECT_EQ(Run("dump FOOD.DBF --csv --index NAME.NDX").out,
            "RECNO,ID,NAME,USED,DAY,KCAL\n"
            "1,2,Apfel,F,2024-03-01,52\n"
            "2,3,Milch,,,64\n");
  EXPECT_EQ(Run("check FOOD.DBF NAME.NDX").status, 0);
}

TEST_F(KalborDbfTest, ARowRefusedByAPrimaryIndexIsNotAppended) {
  CreateFoodWithThreeRows();
  Ok("index FOOD.DBF ID.NDX ID --options 1");
  TRun r = Run("append FOOD.DBF --index ID.NDX", "ID,NAME\n4,Butter\n2,Birne\n");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("line 3: Key violation. (Key already present in file).\nIndex: " +
                       Path("ID.NDX") + "\nRecord=2 Key='2'."),
            std::string::npos)
      << r.err;
  EXPECT_EQ(DumpCsv(),
            "RECNO,ID,NAME,USED,DAY,KCAL\n"
            "1,1,Brot,T,2024-02-29,240\n"
            "2,2,Apfel,F,2024-03-01,52\n"
            "3,3,Milch,,,64\n"
            "4,4,Butter,,,\n");
  EXPECT_EQ(Run("check FOOD.DBF ID.NDX").status, 0);
}

TEST_F(KalborDbfTest, ARefusedChangeLeavesTheTableAndEveryIndexAsTheyWere) {
  struct Case {
    const char* command;
    const char* input;
  };
  const Case cases[] = {
      // K.NDX's one leaf is full: a refusal must not split it.
      {"set T.DBF 31 K=2 --index K.NDX", ""},
      // NAME.NDX, opened first, would take the new name before K.NDX refuses.
      {"set T.DBF 31 NAME=x K=2 --index NAME.NDX --index K.NDX", ""},
      {"append T.DBF --index NAME.NDX --index K.NDX", "K,NAME\n2,x\n"},
  };
  std::string rows = "K,NAME\n";
  for (int k = 1; k <= 31; ++k) rows += std::to_string(k) + ",n" + std::to_string(k) + "\n";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command);
    Ok("create T.DBF K:integer NAME:string:10 --replace");
    Ok("append T.DBF", rows);
    Ok("index T.DBF NAME.NDX NAME");
    Ok("index T.DBF K.NDX K --options 1");
    // Last changed on 1 January 2001: a refused change keeps that date.
    for (auto [offset, value] : {std::pair{1, 101}, {2, 1}, {3, 1}})
      CorruptByte(Path("T.DBF"), offset, static_cast<uint8_t>(value));
    const auto table = ReadBytes(Path("T.DBF"));
    const auto names = ReadBytes(Path("NAME.NDX"));
    const auto keys = ReadBytes(Path("K.NDX"));
    TRun r = Run(c.command, c.input);
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("Key violation."), std::string::npos) << r.err;
    EXPECT_TRUE(ReadBytes(Path("T.DBF")) == table);
    EXPECT_TRUE(ReadBytes(Path("NAME.NDX")) == names);
    EXPECT_TRUE(ReadBytes(Path("K.NDX")) == keys);
  }
}

TEST_F(KalborDbfTest, CheckAcceptsARowAUniqueIndexLeftWithoutEntryButNamesARepeatedKey) {
  Ok("create U.DBF K:integer");
  Ok("append U.DBF", "K\n5\n5\n");
  Ok("index U.DBF U.NDX K --options 2");
  // Record 2 got no entry, its key being present; record 1 then takes another.
  Ok("set U.DBF 1 K=6 --index U.NDX");
  TRun r = Run("check U.DBF U.NDX");
  EXPECT_EQ(r.status, 0) << r.out;
  // A unique index never holds one key twice: such a file is damaged.
  Ok("set U.DBF 1 K=5");
  Ok("index U.DBF D.NDX K");
  CorruptByte(Path("D.NDX"), 8, 0x40);  // key flags: unique
  CorruptByte(Path("D.NDX"), 23, 1);    // unique marker
  r = Run("check U.DBF D.NDX");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out,
            "U.DBF: OK\n"
            "D.NDX: page 1 entry 1: key repeats the entry before it in a unique index\n");
}

TEST_F(KalborDbfTest, AKeyExpressionNamesItsFieldWithoutRegardToCase) {
  CreateFoodWithThreeRows();
  Ok("index FOOD.DBF NAME.NDX NAME");
  const std::string expression = "name";  // as another program may have written it
  for (size_t i = 0; i < expression.size(); ++i)
    CorruptByte(Path("NAME.NDX"), 24 + i, static_cast<uint8_t>(expression[i]));
  EXPECT_EQ(Run("check FOOD.DBF NAME.NDX").out, "FOOD.DBF: OK\nNAME.NDX: OK\n");
  EXPECT_EQ(Run("dump FOOD.DBF --csv --index NAME.NDX").out,
            "RECNO,ID,NAME,USED,DAY,KCAL\n"
            "2,2,Apfel,F,2024-03-01,52\n"
            "1,1,Brot,T,2024-02-29,240\n"
            "3,3,Milch,,,64\n");
}

TEST_F(KalborDbfTest, IndexOnAFieldThatCannotBeKeyedFailsAndLeavesNoFile) {
  CreateFoodWithThreeRows();
  TRun r = Run("index FOOD.DBF DAY.NDX DAY");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("Invalid index type: can only be string or float."), std::string::npos)
      << r.err;
  EXPECT_FALSE(Exists(Path("DAY.NDX")));
  r = Run("index FOOD.DBF X.NDX COLOUR");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("Index based on unknown field \"COLOUR\"."), std::string::npos) << r.err;
  EXPECT_FALSE(Exists(Path("X.NDX")));
}

TEST_F(KalborDbfTest, AFailedIndexBuildKeepsTheExistingIndexFile) {
  CreateFoodWithThreeRows();
  Ok("index FOOD.DBF NAME.NDX NAME");
  const auto before = ReadBytes(Path("NAME.NDX"));
  EXPECT_EQ(Run("index FOOD.DBF NAME.NDX DAY").status, 2);
  EXPECT_EQ(ReadBytes(Path("NAME.NDX")), before);
}

TEST_F(KalborDbfTest, AMissingIndexFileIsReportedByTheTableLayer) {
  CreateFoodWithThreeRows();
  TRun r = Run("dump FOOD.DBF --index NONE.NDX");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("Open: file not found: \"" + Path("NONE.NDX") + "\"."), std::string::npos)
      << r.err;
}

// --- Checking ---------------------------------------------------------------

TEST_F(KalborDbfTest, CheckPassesAGoodTable) {
  CreateFoodWithThreeRows();
  Ok("delete FOOD.DBF 3");
  TRun r = Run("check FOOD.DBF");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "FOOD.DBF: OK\n");
}

TEST_F(KalborDbfTest, CheckNamesEachFaultOfADamagedTable) {
  CreateFoodWithThreeRows();
  const std::string table = Path("FOOD.DBF");
  const size_t header_length = 193, record_length = 45;
  CorruptByte(table, 4, 7);                                    // stored count
  CorruptByte(table, header_length + record_length, 'X');      // flag of record 2
  auto bytes = ReadBytes(table);
  bytes.back() = '!';                                           // no end marker
  test::WriteBytes(table, bytes);
  TRun r = Run("check FOOD.DBF");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("FOOD.DBF: the header counts 7 records, the file holds 3\n"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("FOOD.DBF: record 2 has the deletion flag 0x58"), std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("FOOD.DBF: the byte after the last record is 0x21"), std::string::npos)
      << r.out;
}

TEST_F(KalborDbfTest, CheckFindsACutRecordAndABadRecordLength) {
  CreateFoodWithThreeRows();
  const std::string table = Path("FOOD.DBF");
  test::Truncate(table, 193 + 45 * 2 + 10);
  CorruptByte(table, 10, 44);  // record length 44 instead of 45
  TRun r = Run("check FOOD.DBF");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("the record length 44 differs from 1 + the field lengths (45)"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("bytes follow the last whole record"), std::string::npos) << r.out;
}

TEST_F(KalborDbfTest, CheckFindsAMissingHeaderTerminator) {
  CreateFoodWithThreeRows();
  CorruptByte(Path("FOOD.DBF"), 192, 0);
  TRun r = Run("check FOOD.DBF");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("the header terminator 0x0D does not follow the field descriptors"),
            std::string::npos)
      << r.out;
}

TEST_F(KalborDbfTest, CheckFindsAnIndexThatFellBehindItsTable) {
  CreateFoodWithThreeRows();
  Ok("index FOOD.DBF NAME.NDX NAME");
  EXPECT_EQ(Run("check FOOD.DBF NAME.NDX").out, "FOOD.DBF: OK\nNAME.NDX: OK\n");
  Ok("append FOOD.DBF", "ID,NAME\n4,Butter\n");  // without --index
  TRun r = Run("check FOOD.DBF NAME.NDX");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("FOOD.DBF: OK\n"), std::string::npos);
  EXPECT_NE(r.out.find("NAME.NDX: "), std::string::npos);
  EXPECT_EQ(r.out.find("NAME.NDX: OK"), std::string::npos) << r.out;
}

TEST_F(KalborDbfTest, CheckReportsAnIndexOnAnotherTable) {
  CreateFoodWithThreeRows();
  Ok("create OTHER.DBF CODE:integer");
  Ok("index OTHER.DBF CODE.NDX CODE");
  TRun r = Run("check FOOD.DBF CODE.NDX");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("CODE.NDX: its key \"CODE\" is not a field of the table"),
            std::string::npos)
      << r.out;
}

// --- Creating and errors ----------------------------------------------------

TEST_F(KalborDbfTest, CreateRefusesToReplaceATableUnlessAsked) {
  CreateFoodWithThreeRows();
  TRun r = Run("create FOOD.DBF A:integer");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("FOOD.DBF already exists"), std::string::npos) << r.err;
  EXPECT_EQ(DumpCsv().substr(0, 27), "RECNO,ID,NAME,USED,DAY,KCAL");
  Ok("create FOOD.DBF A:integer --replace");
  EXPECT_EQ(DumpCsv(), "RECNO,A\n");
}

TEST_F(KalborDbfTest, CreateRefusesBadFieldListsWithoutTouchingTheFolder) {
  for (const char* fields : {"A:float", "A:string", "A:date:8", "TOOLONGNAME1:integer",
                             "1A:integer", "A:integer:21", "A", "A:integer B:string:3 a:date"}) {
    TRun r = Run(std::string("create NEW.DBF ") + fields);
    EXPECT_EQ(r.status, 2) << fields;
    EXPECT_NE(r.err.find("Try 'kalbor-dbf --help'."), std::string::npos) << fields;
  }
  EXPECT_FALSE(Exists(Path("NEW.DBF")));
}

TEST_F(KalborDbfTest, ErrorsGoToStandardErrorWithTheTableLayersMessage) {
  TRun r = Run("dump MISSING.DBF");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "kalbor-dbf: Open: file not found: \"" + Path("MISSING.DBF") + "\".\n");

  test::WriteBytes(Path("JUNK.DBF"), std::vector<uint8_t>(64, 0x47));
  r = Run("dump JUNK.DBF");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "kalbor-dbf: Invalid DBF file.\n");
}

TEST_F(KalborDbfTest, UsageMistakesExitWithStatusTwoAndAHint) {
  CreateFoodWithThreeRows();
  for (const char* words : {"", "frob FOOD.DBF", "dump FOOD.DBF --bogus", "header FOOD.DBF --csv",
                            "dump", "set FOOD.DBF x KCAL=1", "set FOOD.DBF 1 KCAL",
                            "index FOOD.DBF N.NDX NAME --options 99"}) {
    TRun r = Run(words);
    EXPECT_EQ(r.status, 2) << words;
    EXPECT_NE(r.err.find("Try 'kalbor-dbf --help'."), std::string::npos) << words;
  }
  TRun help = Run("--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("the rows before it stay in the table"), std::string::npos);
}

TEST_F(KalborDbfTest, ValuesBeginningWithDashesFollowTheEndOfOptions) {
  CreateFood();
  Ok("append FOOD.DBF", "ID,NAME\n1,--x--\n");
  EXPECT_EQ(Run({"locate", "FOOD.DBF", "NAME", "--", "--x--"}).out, "1\n");
  EXPECT_EQ(Run({"set", "FOOD.DBF", "1", "KCAL=-5"}).status, 0);
  EXPECT_EQ(Run("locate FOOD.DBF KCAL -5").out, "1\n");
}

}  // namespace
}  // namespace kalbor
