// The names of the application's files in the program folder. Names are
// matched without regard to letter case; files are made under these.
#pragma once

#include <cstdint>
#include <string>

namespace kalbor {

inline constexpr char kUserNameFile[] = "USERNAME.DBF";      // the user list
inline constexpr char kFoodCalFile[] = "FOODCAL.DBF";        // the food catalogue
inline constexpr char kUserCalFile[] = "USERCAL.DBF";        // the selection list
inline constexpr char kUserResultFile[] = "USERRESULT.DBF";  // daily totals of one user
inline constexpr char kMealTypeFile[] = "MEALTYPE.DBF";
inline constexpr char kFoodGroupsFile[] = "FOODGROUPS.DBF";
inline constexpr char kUserTargetFile[] = "USERTARGET.DBF";  // every user's daily target

// The tables the program ships; a new program folder gets a copy of each.
inline constexpr const char* kShippedTables[] = {kFoodCalFile, kMealTypeFile, kFoodGroupsFile};

// Index files the program builds.
inline constexpr char kUserNameIndex[] = "USERNAME.NDX";    // the user list by name
inline constexpr char kUserIdIndex[] = "USER_ID.NDX";       // by number
inline constexpr char kUserCountIndex[] = "USERCOUNT.NDX";  // by entry count
inline constexpr char kUserCalIndex[] = "USERCAL.NDX";  // the selection list by name
inline constexpr char kFoodCalIndex[] = "FOODCAL.NDX";  // the catalogue by a clicked column
// Never built: the catalogue carries this name and so opens in file order.
inline constexpr char kFoodIdIndex[] = "FOOD_ID.NDX";

// File name of user n's diary: "USER" + n as at least four digits,
// zero-padded, + ".DBF" (7 gives USER0007.DBF, 12345 gives USER12345.DBF).
// Its index file has the same name with ".NDX".
std::string UserFileName(int32_t user_id);
std::string UserIndexFileName(int32_t user_id);

// File name of user n's weight table: "USEW" + n as at least four digits,
// zero-padded, + ".DBF" (3 gives USEW0003.DBF); its index file has ".NDX".
std::string WeightFileName(int32_t user_id);
std::string WeightIndexFileName(int32_t user_id);

}  // namespace kalbor
