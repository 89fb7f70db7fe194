#include "data/file_names.h"

#include <cstdio>

#include "storage/files.h"

namespace kalbor {

namespace {

std::string NumberedFileName(const char* prefix, int32_t user_id) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%s%04d.DBF", prefix, static_cast<int>(user_id));
  return buffer;
}

}  // namespace

std::string UserFileName(int32_t user_id) { return NumberedFileName("USER", user_id); }

std::string UserIndexFileName(int32_t user_id) {
  return ChangeFileExt(UserFileName(user_id), ".NDX");
}

std::string WeightFileName(int32_t user_id) { return NumberedFileName("USEW", user_id); }

std::string WeightIndexFileName(int32_t user_id) {
  return ChangeFileExt(WeightFileName(user_id), ".NDX");
}

}  // namespace kalbor
