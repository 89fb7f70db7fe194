// The user list: the name key kept beside every stored name, the current
// name shown in the user page's name box, the three orders, numbering a new
// user, the duplicate-name test and the diary entry count.
#include <set>

#include "data/dm1.h"
#include "data/walk_guards.h"
#include "storage/errors.h"
#include "storage/index_options.h"

namespace kalbor {

namespace {

struct TUserOrder {
  const char* index_file;
  const char* key_field;
  int options;
};

// Order 0 by upper-cased name, 1 by number, 2 by entry count, largest first.
constexpr TUserOrder kUserOrders[3] = {
    {kUserNameIndex, "IDX_NAME", ixExpression},
    {kUserIdIndex, "USER_ID", ixCaseInsensitive},
    {kUserCountIndex, "COUNT", ixDescending},
};

const char kDuplicateText[] = "This name already exist, please enter another name.";
const char kDuplicateCaption[] = "New User";
const char kNotDeletedText[] = "The specified File could not be deleted.";
const char kNoUserListText[] =
    "The user list USERNAME.DBF could not be opened, so no user can be added.";

}  // namespace

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

// A user list that could not be opened is reported once, naming its file,
// and not tried again: every step on the list does nothing then, and the
// file is never written.
bool TDM1::OpenUserList() {
  if (UserDbf.Active()) return true;
  if (!user_list_damage_.empty()) return false;
  try {
    UserDbf.Open();
    return true;
  } catch (const ETableError& e) {
    user_list_damage_ = std::string(kUserNameFile) + ": " + e.what();
    throw ETableError(user_list_damage_);
  }
}

bool TDM1::UserOrderChosen() const { return !UserDbf.IndexName().empty(); }

void TDM1::SetUserOrder(int order) {
  TControlsSuspended suspended(UserDbf);
  if (!OpenUserList()) return;
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
// gap is only before the last row. A number whose files are still in the
// program folder, or whose daily target is still kept (a deletion that
// could not remove them), is passed over, with every number a user has:
// nobody is given another person's diary, weights or target.
int32_t TDM1::AssignUserId() {
  TControlsSuspended suspended(UserDbf);
  TProgressReset progress(window_);
  if (!OpenUserList()) return 0;
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

  int32_t assigned = prev + 1;
  if (UserFilesLeft(assigned)) {
    std::set<int32_t> taken;
    for (UserDbf.First(); !UserDbf.Eof(); UserDbf.Next()) taken.insert(user_id.AsInteger());
    while (taken.count(assigned) != 0 || UserFilesLeft(assigned)) ++assigned;
  }

  UserDbf.First();
  if (!UserDbf.IsEmpty() && user_id.AsInteger() <= 0) {
    UserDbf.Edit();
    user_id.SetAsInteger(assigned);
    UserDbf.Post();
  } else {
    assigned = 0;
  }
  SetUserOrder(remembered_order);
  return assigned;
}

bool TDM1::UserFilesLeft(int32_t user_id) {
  for (const std::string& name : {UserFileName(user_id), UserIndexFileName(user_id),
                                  WeightFileName(user_id), WeightIndexFileName(user_id)})
    if (FileExists(FolderFile(name))) return true;
  try {
    return DailyTarget(user_id).has_value();
  } catch (const ETableError&) {
    return false;  // an unreadable target table keeps no target
  }
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

// Stores in COUNT of the current user's row the number of rows of the
// user's diary, whatever day the diary shows. Leaves the diary table open on
// that user's diary when the file exists (the user page relies on it); a
// diary already open on that file keeps its current row, so a deletion in
// progress deletes the row chosen.
void TDM1::UpdateUserCount() {
  if (!OpenUserList()) return;
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
        count = UserFoodDbf.CountLiveRows();
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

// --- The list's current row ----------------------------------------------------

bool TDM1::HasUsers() const { return UserDbf.Active() && !UserDbf.IsEmpty(); }

int32_t TDM1::CurrentRowUserId() {
  return UserDbf.Active() && !UserDbf.IsEmpty() ? UserDbfUSER_ID->AsInteger() : 0;
}

std::string TDM1::CurrentRowUserName() {
  return UserDbf.Active() && !UserDbf.IsEmpty() ? UserDbfUSERNAME->AsString() : std::string();
}

int32_t TDM1::UserRowCount() { return UserDbf.Active() ? UserDbf.CountVisibleRows() : 0; }

void TDM1::LocateUser(int32_t id) {
  if (!OpenUserList()) return;
  UserDbf.Locate("USER_ID", TVariant(double(id)), 0);
}

void TDM1::ResumeUserListDisplay() {
  while (UserDbf.ControlsDisabled()) UserDbf.EnableControls();
}

// --- Adding, renaming, selecting and deleting users --------------------------

int32_t TDM1::AddUser(const std::string& name) {
  if (!UserDbf.Active()) {
    window_.ShowMessageBox(kNoUserListText, kDuplicateCaption, TMsgIcon::Error, TMsgButtons::OK,
                           TModalResult::OK);
    return 0;
  }
  if (UserNameExists(name, 0)) return 0;
  UserDbf.Insert();
  UserDbfUSERNAME->SetAsString(name);
  UserDbfUSER_ID->SetAsInteger(0);
  UserDbfCOUNT->SetAsInteger(0);
  UserDbf.Post();
  return AssignUserId();
}

bool TDM1::RenameUser(int32_t id, const std::string& name) {
  if (UserNameExists(name, id)) return false;
  // The name test walked the list; the row of this user is current again.
  UserDbf.Edit();
  UserDbfUSERNAME->SetAsString(name);
  UserDbf.Post();
  SetUserOrder(window_.UserSortOrder());
  return true;
}

// The diary is always opened in date and meal order, also when the same
// user is selected again (as at every start). A user whose diary or whose
// selection list is still missing gets them now even when the number did
// not change: the first user of a fresh installation has the number the
// window starts with. The selection list is rebuilt only for another user
// or a missing file.
void TDM1::OpenUserFiles(int32_t previous_user_id) {
  CloseDiary();
  const int32_t id = window_.CurrentUserId();
  const std::string file = UserFileName(id);
  const bool first_time = !FileExists(FolderFile(file)) || !FileExists(FolderFile(kUserCalFile));
  if (id > 0) {
    try {
      if (!FileExists(FolderFile(file))) MakeTableByNumber(tnUserFood);
      if (FileExists(FolderFile(file))) {
        {
          TControlsSuspended suspended(UserFoodDbf);
          OpenDiary(id);
          if (id != previous_user_id || first_time) BuildUserCal();
        }
        if (!UserFoodDbf.Active()) UserFoodDbf.Open();
      }
    } catch (const ETableError&) {
      // The diary stays closed until the next selection.
    }
  }
  UpdateUserCount();
}

void TDM1::DeleteUser(int32_t user_id) {
  if (HasUsers()) {
    UserDbf.Delete();
    const std::string file = FolderFile(UserFileName(user_id));
    // The diary table lets go of the file before it is deleted.
    ReleaseDiary(UserFileName(user_id));
    if (FileExists(file)) {
      UserDbf.Close();
      if (!DeleteFile(file))
        window_.ShowMessageBox(kNotDeletedText, "Kalbor", TMsgIcon::Error, TMsgButtons::OK,
                               TModalResult::OK);
    }
    DeleteUserFile(UserIndexFileName(user_id));
    // The weights and the daily target go with the user.
    if (WeightHolds(WeightFileName(user_id))) CloseWeightTable();
    DeleteUserFile(WeightFileName(user_id));
    DeleteUserFile(WeightIndexFileName(user_id));
    try {
      RemoveDailyTarget(user_id);
    } catch (const ETableError& e) {
      window_.ShowMessageBox(std::string(kUserTargetFile) + ": " + e.what(), "Kalbor",
                             TMsgIcon::Error, TMsgButtons::OK, TModalResult::OK);
    }
    SetUserOrder(window_.UserSortOrder());
  }
  PackUserList();
}

void TDM1::DeleteUserFile(const std::string& bare_name) {
  const std::string path = FolderFile(bare_name);
  if (FileExists(path) && !DeleteFile(path))
    window_.ShowMessageBox(kNotDeletedText, "Kalbor", TMsgIcon::Error, TMsgButtons::OK,
                           TModalResult::OK);
}

void TDM1::PackUserList() {
  if (!OpenUserList()) return;
  UserDbf.PackFile();  // rebuilds the index files open on the list
  DropStaleIndexes();
  UserDbf.Close();
  UserDbf.Open();
}

}  // namespace kalbor
