// Writes the seed corpora of the fuzz targets: valid table and index files
// made through the table layer itself, in the shapes the program keeps
// (diary, user list, catalogue), small and large enough to have split index
// trees.
//
//   kalbor-fuzz-seeds OUTDIR   fills OUTDIR/table, OUTDIR/index, OUTDIR/check
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "data/schemas.h"
#include "fuzz_common.h"
#include "storage/index_options.h"

using namespace kalbor;
namespace fs = std::filesystem;

namespace {

std::vector<uint8_t> Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void Spit(const fs::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

struct Shape {
  std::string name;
  std::function<void(TFieldDefs&)> fields;
  std::function<void(TTableObject&, int)> row;  // fills row i (insert state)
  std::string index_field;                      // empty: no index seed
  int index_options = 0;
};

void DiaryFields(TFieldDefs& d) { AddSchemaFields(d, kDiaryColumns); }

void DiaryRow(TTableObject& t, int i) {
  const int serial = 37000 + i / 3;
  t.FieldByName("GROUP_ID").SetAsInteger(i % 22);
  t.FieldByName("INDEXFLD").SetAsFloat((serial + 693594.0) * 10 + i % 5);
  t.FieldByName("KIND").SetAsInteger(1 + i % 5);
  t.FieldByName("DATUM").SetAsDateTime(serial);
  t.FieldByName("FOOD_ID").SetAsInteger(100 + i * 7);
  t.FieldByName("QUANTITY").SetAsInteger(50 + i);
  if (i % 4 != 3) t.FieldByName("CALORIES").SetAsInteger(-5 + i * 13);
}

void UserFields(TFieldDefs& d) { AddSchemaFields(d, kUserNameColumns); }

void UserRow(TTableObject& t, int i) {
  static const char* names[] = {"Anna", "bert", "Chloé", "dora", "Emil", "fritz", "Gus", "hanna"};
  std::string name = std::string(names[i % 8]) + std::to_string(i);
  t.FieldByName("USER_ID").SetAsInteger(i + 1);
  t.FieldByName("USERNAME").SetAsString(name);
  std::string upper = name;
  for (char& c : upper)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  t.FieldByName("IDX_NAME").SetAsString(upper);
  t.FieldByName("COUNT").SetAsInteger(i % 3);
}

void CatalogueFields(TFieldDefs& d) {
  d.Add("FOOD_ID", ftInteger);
  d.Add("NAME", ftString, 20);
  d.Add("KCAL", ftFloat);
  d.Add("USED", ftBoolean);
  d.Add("SINCE", ftDate);
  d.Add("SHORT", ftSmallint);
}

void CatalogueRow(TTableObject& t, int i) {
  t.FieldByName("FOOD_ID").SetAsInteger(i * 3);
  t.FieldByName("NAME").SetAsString(i % 2 ? "Brot" : "Äpfel " + std::to_string(i));
  t.FieldByName("KCAL").SetAsFloat(i * 1.25);
  if (i % 3) t.FieldByName("USED").SetAsBoolean(i % 3 == 1);
  t.FieldByName("SINCE").SetAsDateTime(40000 + i);
  t.FieldByName("SHORT").SetAsInteger(i % 100);
}

// Makes the table in `work`, returns its bytes; with an index field also
// builds the index and returns its bytes in `index`.
std::vector<uint8_t> Make(const fs::path& work, const Shape& s, int rows, int level,
                          std::vector<uint8_t>* index) {
  fs::remove_all(work);
  fs::create_directories(work);
  TTableObject t;
  t.SetFilePath(work.string() + "/");
  t.SetTableName("SEED.DBF");
  t.Exclusive = true;
  s.fields(t.FieldDefs);
  t.SetTableLevel(level);
  t.CreateDbfFile();
  t.Open();
  for (int i = 0; i < rows; ++i) {
    t.Append();
    s.row(t, i);
    t.Post();
  }
  // A few rows marked deleted.
  if (rows > 4) {
    t.First();
    t.Next();
    t.Delete();
    t.Last();
    t.Delete();
  }
  if (index && !s.index_field.empty()) {
    t.BuildIndexFile("SEED.NDX", s.index_field, s.index_options);
    // Rows added after the build are maintained, not built.
    for (int i = rows; i < rows + 3; ++i) {
      t.Append();
      s.row(t, i);
      t.Post();
    }
  }
  t.Close();
  if (index) *index = Slurp((work / "SEED.NDX").string());
  return Slurp((work / "SEED.DBF").string());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTDIR\n", argv[0]);
    return 2;
  }
  const fs::path out = fs::absolute(argv[1]);  // table folders are taken as absolute
  const fs::path work = out / ".work";
  for (const char* sub : {"table", "index", "check"}) fs::create_directories(out / sub);

  const std::vector<Shape> shapes = {
      {"diary", DiaryFields, DiaryRow, "INDEXFLD", 0},
      {"user", UserFields, UserRow, "IDX_NAME", ixExpression},
      {"usercount", UserFields, UserRow, "COUNT", ixDescending},
      {"userid", UserFields, UserRow, "USER_ID", ixUnique},
      {"catalogue", CatalogueFields, CatalogueRow, "NAME", 0},
      {"used", CatalogueFields, CatalogueRow, "USED", 0},
  };
  int made = 0;
  try {
    for (const Shape& s : shapes) {
      for (int rows : {0, 1, 7, 40}) {
        for (int level : {3, 4}) {
          if (level == 4 && rows != 7) continue;
          std::string stem = s.name + "-" + std::to_string(rows) + "-l" + std::to_string(level);
          Spit(out / "table" / (stem + ".seed"), Make(work, s, rows, level, nullptr));
          std::vector<uint8_t> index;
          std::vector<uint8_t> table = Make(work, s, rows, level, &index);
          std::vector<uint8_t> pair = fuzz::JoinPair(table, index);
          Spit(out / "index" / (stem + ".seed"), pair);
          Spit(out / "check" / (stem + ".seed"), pair);
          made += 3;
        }
      }
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "kalbor-fuzz-seeds: %s\n", e.what());
    return 1;
  }
  fs::remove_all(work);
  std::printf("%d seeds written to %s\n", made, out.string().c_str());
  return 0;
}
