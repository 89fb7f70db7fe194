// The user's weight table USEWnnnn.DBF.
#include <cstdio>

#include "data/dm1.h"

namespace kalbor {

void TDM1::OpenWeightTable(int32_t user_id) {
  char name[32];
  std::snprintf(name, sizeof name, "USEW%04d.DBF", static_cast<int>(user_id));
  MakeDB.Close();
  MakeDB.SetTableName(name);
  MakeDB.Open();
}

}  // namespace kalbor
