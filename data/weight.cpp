// The user's weight table USEWnnnn.DBF, one weight a day shown in date
// order by its day number, and every user's daily target in USERTARGET.DBF.
// The weights and targets a person types are read here too.
#include <cctype>
#include <cmath>

#include "data/dm1.h"
#include "data/walk_guards.h"
#include "storage/dates.h"
#include "storage/errors.h"

namespace kalbor {

namespace {

const char kInvalidWeightCaption[] = "Invalid Weight";
const char kReplaceWeightCaption[] = "Replace Weight";
const char kInvalidTargetCaption[] = "Invalid Target";

std::string Trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return std::string();
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool IsDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }

}  // namespace

// --- Typed values -------------------------------------------------------------

std::optional<int32_t> ParseWeightTenths(const std::string& text, char decimal_separator) {
  const std::string t = Trimmed(text);
  size_t i = 0;
  const bool negative = !t.empty() && t[0] == '-';
  if (negative) ++i;
  // Far too many kilograms are kept as "too many": the range check refuses them.
  constexpr int64_t kTooMany = 100000000;
  int64_t whole = 0;
  int digits = 0;
  for (; i < t.size() && IsDigit(t[i]); ++i, ++digits)
    whole = std::min(kTooMany, whole * 10 + (t[i] - '0'));
  int64_t tenths = whole * 10;
  if (i < t.size() && (t[i] == '.' || t[i] == ',' || t[i] == decimal_separator)) {
    ++i;
    for (int place = 0; i < t.size() && IsDigit(t[i]); ++i, ++place, ++digits) {
      if (place == 0) tenths += t[i] - '0';
      if (place == 1 && t[i] >= '5') ++tenths;
    }
  }
  if (i != t.size() || digits == 0) return std::nullopt;
  return static_cast<int32_t>(negative ? -tenths : tenths);
}

int32_t WeightTenths(double kilograms) {
  return static_cast<int32_t>(std::lround(kilograms * 10.0));
}

std::string TenthsText(int32_t tenths, char decimal_separator) {
  const int64_t magnitude = std::abs(int64_t{tenths});
  return (tenths < 0 ? "-" : "") + std::to_string(magnitude / 10) + decimal_separator +
         std::to_string(magnitude % 10);
}

std::optional<int32_t> ParseWholeNumber(const std::string& text) {
  const std::string t = Trimmed(text);
  if (t.empty() || t.size() > 9) return std::nullopt;
  int32_t value = 0;
  for (char c : t) {
    if (!IsDigit(c)) return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value;
}

std::vector<double> TrailingAverage(const std::vector<int32_t>& values, size_t window) {
  std::vector<double> averages;
  averages.reserve(values.size());
  int64_t sum = 0;
  for (size_t i = 0; i < values.size(); ++i) {
    sum += values[i];
    if (i >= window) sum -= values[i - window];
    averages.push_back(static_cast<double>(sum) / static_cast<double>(std::min(i + 1, window)));
  }
  return averages;
}

std::string TDM1::WeightText(int32_t tenths) const {
  return TenthsText(tenths, window_.DecimalSeparator());
}

bool TDM1::UserSelected() const {
  return window_.CurrentUserId() > 0 && !window_.CurrentUserName().empty();
}

void TDM1::ShowNoUser() {
  window_.ShowMessageBox(kNoUserSelectedText, kInvalidUserCaption, TMsgIcon::Error,
                         TMsgButtons::OK, TModalResult::OK);
}

// --- The weight table -----------------------------------------------------------

bool TDM1::WeightHolds(const std::string& file_name) const {
  return UserWeightDbf.Active() &&
         SameTextAscii(UserWeightDbf.FullFileName(), FolderFile(file_name));
}

void TDM1::MakeUserWeightTable(int32_t user_id) {
  const std::string name = WeightFileName(user_id);
  if (!FileExists(FolderFile(name))) MakeTable(name, kWeightColumns);
}

// A user's weights are few (one a day): the index is built afresh each time
// the table is opened, and kept current by every change after that.
void TDM1::OpenWeightTable(int32_t user_id) {
  const std::string name = WeightFileName(user_id);
  MakeUserWeightTable(user_id);
  if (WeightHolds(name)) return;
  TControlsSuspended suspended(UserWeightDbf);
  CloseWeightTable();
  // A table that cannot be opened is named, and stays closed.
  try {
    UserWeightDbf.SetTableName(name);
    UserWeightDbf.Open();
    const std::string index_file = WeightIndexFileName(user_id);
    UserWeightDbf.BuildIndexFile(index_file, "DAYNUMBER", 0);
    UserWeightDbf.SetIndexName(index_file);
    UserWeightDbf.Last();  // the latest weight
  } catch (const ETableError& e) {
    CloseWeightTable();
    throw ETableError(name + ": " + e.what());
  }
}

void TDM1::CloseWeightTable() {
  UserWeightDbf.Close();
  UserWeightDbf.SetIndexName("");
  UserWeightDbf.SetTableName("");
}

TWeightResult TDM1::AddWeight(int32_t date_serial, const std::string& text) {
  if (!UserSelected()) {
    ShowNoUser();
    return TWeightResult::NoUser;
  }
  const char separator = window_.DecimalSeparator();
  const std::optional<int32_t> tenths = ParseWeightTenths(text, separator);
  if (!tenths) {
    window_.ShowMessageBox(Format("\"%s\" is not a weight.\r\nPlease type your weight in "
                                  "kilograms, for example %s.",
                                  text.c_str(), WeightText(725).c_str()),
                           kInvalidWeightCaption, TMsgIcon::Error, TMsgButtons::OK,
                           TModalResult::OK);
    return TWeightResult::Refused;
  }
  if (*tenths < kMinWeightTenths || *tenths > kMaxWeightTenths) {
    window_.ShowMessageBox(Format("A weight of %s kg cannot be right.\r\nPlease type a weight "
                                  "from %s to %s kg.",
                                  WeightText(*tenths).c_str(), WeightText(kMinWeightTenths).c_str(),
                                  WeightText(kMaxWeightTenths).c_str()),
                           kInvalidWeightCaption, TMsgIcon::Error, TMsgButtons::OK,
                           TModalResult::OK);
    return TWeightResult::Refused;
  }

  OpenWeightTable(window_.CurrentUserId());
  const int32_t day = SerialToDayNumber(date_serial);
  const double kilograms = *tenths / 10.0;
  if (UserWeightDbf.Locate("DAYNUMBER", TVariant(double(day)), 0)) {
    const int32_t stored = WeightTenths(UserWeightDbfWEIGHT->AsFloat());
    if (stored == *tenths) return TWeightResult::Stored;
    const std::string question = Format(
        "There is a weight for %s already: %s kg.\r\nReplace it with %s kg?",
        FormatDate(FormatSettings().short_date_format, date_serial).c_str(),
        WeightText(stored).c_str(), WeightText(*tenths).c_str());
    if (window_.ShowMessageBox(question, kReplaceWeightCaption, TMsgIcon::Question,
                               TMsgButtons::OKCancel, TModalResult::Cancel) != TModalResult::OK)
      return TWeightResult::Kept;
    UserWeightDbf.Edit();
  } else {
    UserWeightDbf.Append();
  }
  const bool appending = UserWeightDbf.State() == TDataSetState::dsInsert;
  try {
    UserWeightDbfDATUM->SetAsDateTime(date_serial);
    UserWeightDbfWEIGHT->SetAsFloat(kilograms);
    UserWeightDbfDAYNUMBER->SetAsInteger(day);
    UserWeightDbf.Post();
  } catch (...) {
    UserWeightDbf.Cancel();
    throw;
  }
  // Posting leaves the table where it was; the new weight, the file's last
  // record, becomes the current row, as the grid should show it.
  if (appending) UserWeightDbf.GotoBookmark(UserWeightDbf.FileRecordCount());
  return TWeightResult::Stored;
}

bool TDM1::WeightShowsRows() { return UserWeightDbf.Active() && UserWeightDbf.HasVisibleRows(); }

void TDM1::DeleteWeightRow() {
  if (WeightShowsRows()) UserWeightDbf.Delete();
}

// --- Daily targets ----------------------------------------------------------------

bool TDM1::OpenTargets(bool make) {
  if (UserTargetDbf.Active()) return true;
  if (!FileExists(FolderFile(kUserTargetFile))) {
    if (!make) return false;
    MakeTable(kUserTargetFile, kTargetColumns);
  }
  UserTargetDbf.Open();
  return true;
}

std::optional<int32_t> TDM1::DailyTarget(int32_t user_id) {
  if (user_id <= 0 || !OpenTargets(false)) return std::nullopt;
  TClosedAtEnd closed(UserTargetDbf);
  if (!UserTargetDbf.Locate("USER_ID", TVariant(double(user_id)), 0)) return std::nullopt;
  const int32_t target = UserTargetDbfTARGET->AsInteger();
  if (target <= 0) return std::nullopt;
  return target;
}

TWeightResult TDM1::SetDailyTarget(const std::string& text) {
  if (!UserSelected()) {
    ShowNoUser();
    return TWeightResult::NoUser;
  }
  const int32_t id = window_.CurrentUserId();
  if (Trimmed(text).empty()) {
    RemoveDailyTarget(id);
    return TWeightResult::Stored;
  }
  const std::optional<int32_t> target = ParseWholeNumber(text);
  if (!target || *target < kMinTarget || *target > kMaxTarget) {
    window_.ShowMessageBox(
        Format("\"%s\" is not a daily target.\r\nPlease type a whole number of kilocalories "
               "from %d to %d, or leave the box empty for no target.",
               text.c_str(), kMinTarget, kMaxTarget),
        kInvalidTargetCaption, TMsgIcon::Error, TMsgButtons::OK, TModalResult::OK);
    return TWeightResult::Refused;
  }
  OpenTargets(true);
  TClosedAtEnd closed(UserTargetDbf);
  if (UserTargetDbf.Locate("USER_ID", TVariant(double(id)), 0)) {
    UserTargetDbf.Edit();
  } else {
    UserTargetDbf.Append();
    UserTargetDbfUSER_ID->SetAsInteger(id);
  }
  try {
    UserTargetDbfTARGET->SetAsInteger(*target);
    UserTargetDbf.Post();
  } catch (...) {
    UserTargetDbf.Cancel();
    throw;
  }
  UserTargetDbf.Close();
  return TWeightResult::Stored;
}

// The row goes from the file, not only marked: a later user of the same
// number starts without a target.
void TDM1::RemoveDailyTarget(int32_t user_id) {
  if (!OpenTargets(false)) return;
  TClosedAtEnd closed(UserTargetDbf);
  bool found = false;
  while (UserTargetDbf.Locate("USER_ID", TVariant(double(user_id)), 0)) {
    UserTargetDbf.Delete();
    found = true;
  }
  if (found) UserTargetDbf.PackFile();
  UserTargetDbf.Close();
}

}  // namespace kalbor
