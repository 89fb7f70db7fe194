// The user list: the name key kept beside every stored name, the current
// name shown in the user page's name box, the three orders, numbering a new
// user, the duplicate-name test and the diary entry count.
#include <cstdio>

#include "data/dm1.h"
#include "data/walk_guards.h"

namespace kalbor {

namespace {

struct TUserOrder {
  const char* index_file;
  const char* key_field;
  int options;
};

// Order 0 by upper-cased name, 1 by number, 2 by entry count, largest first.
constexpr TUserOrder kUserOrders[3] = {
    {"USERNAME.NDX", "IDX_NAME", ixExpression},
    {"USER_ID.NDX", "USER_ID", ixCaseInsensitive},
    {"USERCOUNT.NDX", "COUNT", ixDescending},
};

const char kDuplicateText[] = "This name already exist, please enter another name.";
const char kDuplicateCaption[] = "New User";

}  // namespace

std::string UserFileName(int32_t user_id) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "USER%04d.DBF", static_cast<int>(user_id));
  return buffer;
}

// --- Hooks ------------------------------------------------------------------

// The name key is set when editing begins and again as part of every store,
// so the stored key always matches the stored name.
void TDM1::UserDbfAfterEdit(TTableObject&) {
  UserDbfIDX_NAME->SetAsString(NameKey(UserDbfUSERNAME->AsString()));
  window_.FitUserGrid();
}

void TDM1::UserDbfBeforePost(TTableObject&) {
  UserDbfIDX_NAME->SetAsString(NameKey(UserDbfUSERNAME->AsString()));
}

void TDM1::UserDbfAfterPost(TTableObject&) { window_.FitUserGrid(); }

// While the "New" button is down the name box keeps what is being typed.
void TDM1::UserDbfAfterScroll(TTableObject&) {
  if (!window_.UserNewDown()) window_.SetUserNameText(UserDbfUSERNAME->AsString());
}

// --- Operations -------------------------------------------------------------

void TDM1::SetUserOrder(int order) {
  TControlsSuspended suspended(UserDbf);
  if (!UserDbf.Active()) UserDbf.Open();
  if (order >= 0 && order <= 2) {
    const TUserOrder& o = kUserOrders[order];
    UserDbf.SetIndexName("");
    UserDbf.BuildIndexFile(o.index_file, o.key_field, o.options);
    UserDbf.SetIndexName(o.index_file);
  }
  UserDbf.Locate("USER_ID", TVariant(double(window_.CurrentUserId())), 0);
}

// The new row carries USER_ID 0 and so comes first in number order. The walk
// stops at the first gap in the numbers that follow; the new row takes the
// number after the last one seen in sequence, or after the highest when the
// gap is only before the last row.
void TDM1::AssignUserId() {
  TControlsSuspended suspended(UserDbf);
  TProgressReset progress(window_);
  if (!UserDbf.Active()) UserDbf.Open();
  const int32_t rows = UserDbf.CountVisibleRows();
  window_.SetProgressMax(rows);
  const int remembered_order = window_.UserSortOrder();
  SetUserOrder(1);
  window_.ProcessMessages();

  TField& user_id = *UserDbfUSER_ID;
  int32_t prev = 0, cur = 0;
  UserDbf.First();
  UserDbf.Next();
  while (!UserDbf.Eof()) {
    prev = cur;
    cur = user_id.AsInteger();
    if (cur != prev + 1) UserDbf.Last();
    UserDbf.Next();
    window_.StepProgress();
    window_.ProcessMessages();
  }
  if (prev == rows - 2) prev = cur;

  UserDbf.First();
  if (!UserDbf.IsEmpty() && user_id.AsInteger() <= 0) {
    UserDbf.Edit();
    user_id.SetAsInteger(prev + 1);
    UserDbf.Post();
  }
  SetUserOrder(remembered_order);
}

bool TDM1::UserNameExists(const std::string& name, int32_t user_id) {
  TControlsSuspended suspended(UserDbf);
  bool result = false;
  const std::string key = NameKey(name);
  TField& username = *UserDbfUSERNAME;
  TField& id = *UserDbfUSER_ID;
  UserDbf.First();
  while (!UserDbf.Eof()) {
    if (!result && NameKey(username.AsString()) == key && id.AsInteger() != user_id) {
      result = true;
      UserDbf.Last();
      window_.ShowMessageBox(kDuplicateText, kDuplicateCaption, TMsgIcon::Error, TMsgButtons::OK,
                             TModalResult::OK);
    }
    UserDbf.Next();
  }
  UserDbf.Locate("USER_ID", TVariant(double(user_id)), loCaseInsensitive | loPartialKey);
  return result;
}

// Stores in COUNT of the current user's row the number of rows the diary
// shows. Leaves the diary table open on that user's diary when the file
// exists (the user page relies on it); a diary already open on that file
// keeps its current row, so a deletion in progress deletes the row chosen.
void TDM1::UpdateUserCount() {
  if (!UserDbf.Active()) UserDbf.Open();
  TControlsSuspended suspended(UserDbf);
  const TVariant current(double(window_.CurrentUserId()));
  UserDbf.Locate("USER_ID", current, 0);
  if (!UserDbf.IsEmpty()) {
    try {
      const int32_t id = UserDbfUSER_ID->AsInteger();
      int32_t count = 0;
      const std::string name = UserFileName(id);
      if (id > 0 && FileExists(FolderFile(name))) {
        if (!DiaryHolds(name)) {
          UserFoodDbf.Close();
          UserFoodDbf.SetTableName(name);
          UserFoodDbf.Open();
        }
        count = UserFoodDbf.CountVisibleRows();
      }
      UserDbf.Edit();
      UserDbfCOUNT->SetAsInteger(count);
      UserDbf.Post();
    } catch (const std::exception&) {
      // The count keeps its old value.
      UserDbf.Cancel();
    }
  }
  UserDbf.Locate("USER_ID", current, 0);
}

}  // namespace kalbor
