#include "data/file_names.h"

#include <cstdio>

#include "storage/files.h"

namespace kalbor {

std::string UserFileName(int32_t user_id) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "USER%04d.DBF", static_cast<int>(user_id));
  return buffer;
}

std::string UserIndexFileName(int32_t user_id) {
  return ChangeFileExt(UserFileName(user_id), ".NDX");
}

}  // namespace kalbor
