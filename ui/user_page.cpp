// The user page: the user list, its order, and selecting, adding, renaming
// and deleting users.
#include "ui/main_window.h"

#include <QKeyEvent>

#include "data/dm1.h"
#include "storage/codepage.h"
#include "storage/errors.h"
#include "storage/files.h"
#include "ui/grid/table_model.h"
#include "ui/message_boxes.h"
#include "ui_main_window.h"

namespace kalbor {

namespace {

const char kNewUser[] = "New User";

// A name the user list can store: at most the field's 50 characters, all of
// them letters the table's code page holds. Shows why not, otherwise.
bool CheckUserName(TForm1& form, const std::string& name) {
  auto bytes = Utf8ToTableText(name);
  if (!bytes) {
    form.ShowMessageBox("The name holds characters that cannot be stored.\r\n"
                        "Please use letters of Western European languages only.",
                        kNewUser, TMsgIcon::Error, TMsgButtons::OK, TModalResult::OK);
    return false;
  }
  if (bytes->size() > 50) {
    form.ShowMessageBox("A user name can have at most 50 characters.", kNewUser, TMsgIcon::Error,
                        TMsgButtons::OK, TModalResult::OK);
    return false;
  }
  return true;
}

bool AskDeleteRecord(TForm1& form) {
  return form.ShowMessageBox("Delete record?", "Kalbor", TMsgIcon::Question,
                             TMsgButtons::OKCancel, TModalResult::Cancel) == TModalResult::OK;
}

}  // namespace

void TForm1::BindUserPage() {
  Ui::Form1& f = *ui_;
  Qt::Alignment right = Qt::AlignRight | Qt::AlignVCenter;
  auto* model = new TTableModel(dm_->UserDbf,
                                {{"USER_ID", "USER_ID", 58, right, Qt::AlignLeft | Qt::AlignVCenter},
                                 {"USERNAME", "USERNAME", 131},
                                 {"COUNT", "COUNT", 50, right, Qt::AlignLeft | Qt::AlignVCenter}},
                                this);
  models_.emplace_back(model);
  f.DBGrid1->SetModel(model, true);
  f.DBGrid1->ConfirmDelete = [this] { return AskDeleteRecord(*this); };
  connect(f.DBGrid1, &QAbstractItemView::doubleClicked, this, [this] { DBGrid1DblClick(); });
  f.DBNavigator1->Bind(dm_->UserDbf, {TNavButton::First, TNavButton::Prior, TNavButton::Next,
                                      TNavButton::Last});
  f.UserSort->SetItems({"User name", "User ID", "Count"});
  f.UserSort->SetItemIndex(0);
  connect(f.UserSort, &TRadioGroup::Clicked, this, [this] { UserSortClick(); });
  connect(f.UserSel, &QPushButton::clicked, this, &TForm1::UserSelClick);
  connect(f.UserNew, &QPushButton::clicked, this, &TForm1::UserNewClick);
  connect(f.UserDel, &QPushButton::clicked, this, &TForm1::UserDelClick);
  connect(f.AddUser, &QPushButton::clicked, this, &TForm1::AddUserClick);
}

void TForm1::FitUserGrid() {
  int n = dm_ && dm_->UserDbf.Active() ? dm_->UserDbf.CountVisibleRows() : 0;
  n = std::clamp(n, 1, 16);
  QWidget* grid = ui_->DBGrid1;
  grid->resize(grid->width(), n * 18 + 22);
}

void TForm1::UserDataClick() {
  Ui::Form1& f = *ui_;
  ShowPage(2);
  FitUserGrid();
  f.DBGrid1->setFocus();
  if (dm_->UserDbf.IndexName().empty()) {
    f.UserSort->SetItemIndex(0);
    UserSortClick();
  }
  dm_->UserFoodDbf.SetFiltered(false);
  f.UserData->setChecked(true);
  dm_->UpdateUserCount();
  if (dm_->UserDbf.Active() && current_user_id_ > 0)
    dm_->UserDbf.Locate("USER_ID", static_cast<double>(current_user_id_), 0);
}

void TForm1::UserSortClick() {
  user_sort_order_ = ui_->UserSort->ItemIndex();
  dm_->SetUserOrder(user_sort_order_);
  ui_->DBGrid1->setFocus();
}

void TForm1::UserSelClick() {
  Ui::Form1& f = *ui_;
  f.UserSel->setChecked(true);
  f.Edit1->setEnabled(true);
  f.Edit1->setText(dm_->UserDbf.IsEmpty() ? QString()
                                          : QString::fromStdString(dm_->UserDbfUSERNAME->AsString()));
  f.Label3->setText("Selected User");
  f.AddUser->setText("Select");
  SetStatusText(0, "Select User");
}

void TForm1::UserNewClick() {
  Ui::Form1& f = *ui_;
  f.UserNew->setChecked(true);
  f.Edit1->setEnabled(true);
  f.Edit1->clear();
  f.Label3->setText("New User");
  f.AddUser->setText("Add User");
  SetStatusText(0, "New User");
}

void TForm1::UserDelClick() {
  Ui::Form1& f = *ui_;
  f.UserDel->setChecked(true);
  f.Edit1->setEnabled(false);
  f.Edit1->setText(dm_->UserDbf.IsEmpty() ? QString()
                                          : QString::fromStdString(dm_->UserDbfUSERNAME->AsString()));
  f.Label3->setText("Delete this User");
  f.AddUser->setText("Delete");
  SetStatusText(0, "Delete User");
}

void TForm1::AddUserClick() {
  Ui::Form1& f = *ui_;
  // One action per click: each action that leaves its mode puts "Select "
  // down first.
  if (f.UserSel->isChecked()) SelectUser();
  if (f.UserNew->isChecked()) AddNewUser();
  if (f.UserDel->isChecked()) DeleteSelectedUser();
  FitUserGrid();
  while (dm_->UserDbf.ControlsDisabled()) dm_->UserDbf.EnableControls();
}

void TForm1::DBGrid1DblClick() {
  if (ui_->UserSel->isChecked()) AddUserClick();
}

void TForm1::SelectUser() {
  Ui::Form1& f = *ui_;
  TTableObject& users = dm_->UserDbf;
  if (!users.Active() || users.IsEmpty()) return;
  QString text = f.Edit1->text().trimmed();
  f.Edit1->setText(text);
  const int32_t old_id = current_user_id_;
  current_user_id_ = dm_->UserDbfUSER_ID->AsInteger();
  const std::string name = text.toStdString();
  if (name != dm_->UserDbfUSERNAME->AsString()) {
    TModalResult answer = ShowMessageBox("Do you want to change the name of the user?",
                                         "Change User Name", TMsgIcon::Question,
                                         TMsgButtons::OKCancel, TModalResult::Cancel);
    if (answer == TModalResult::OK && !name.empty() && CheckUserName(*this, name) &&
        !dm_->UserNameExists(name, current_user_id_)) {
      // The name test walked the list; the row of this user is current again.
      users.Edit();
      dm_->UserDbfUSERNAME->SetAsString(name);
      users.Post();
      dm_->SetUserOrder(user_sort_order_);
      f.Edit1->setText(QString::fromStdString(dm_->UserDbfUSERNAME->AsString()));
    }
  }
  current_user_name_ = users.IsEmpty() ? std::string() : dm_->UserDbfUSERNAME->AsString();
  TTableObject& diary = dm_->UserFoodDbf;
  diary.Close();
  diary.SetTableName("");
  SetStatusText(1, "Name : " + QString::fromStdString(current_user_name_));
  SetStatusText(2, "ID : " + QString::number(current_user_id_));
  SetCaptionForUser();
  // A user whose diary or whose selection list is still missing gets them
  // now even when the number did not change: the first user of a fresh
  // installation has the number the window starts with.
  const bool first_time = !FileExists(dm_->FolderFile(UserFileName(current_user_id_))) ||
                          !FileExists(dm_->FolderFile("USERCAL.DBF"));
  if (current_user_id_ > 0 && (current_user_id_ != old_id || first_time)) {
    const std::string file = UserFileName(current_user_id_);
    try {
      if (!FileExists(dm_->FolderFile(file))) dm_->MakeTableByNumber(tnUserFood);
      if (FileExists(dm_->FolderFile(file))) {
        diary.DisableControls();
        try {
          diary.Close();
          diary.SetTableName(file);
          diary.Open();
          diary.SetFiltered(false);
          dm_->IndexUserFood();
          dm_->BuildUserCal();
        } catch (...) {
          diary.EnableControls();
          throw;
        }
        diary.EnableControls();
        if (!diary.Active()) diary.Open();
      }
    } catch (const ETableError&) {
      // The diary stays closed until the next selection.
    }
  }
  dm_->UpdateUserCount();
}

void TForm1::AddNewUser() {
  Ui::Form1& f = *ui_;
  QString text = f.Edit1->text().trimmed();
  f.Edit1->setText(text);
  const std::string name = text.toStdString();
  if (name.empty()) {
    ShowMessageBox("You must enter a user name.", kNewUser, TMsgIcon::Warning, TMsgButtons::OK,
                   TModalResult::OK);
    f.DBGrid1->setFocus();
    return;
  }
  if (CheckUserName(*this, name)) {
    if (!dm_->UserNameExists(name, 0)) {
      TTableObject& users = dm_->UserDbf;
      users.Insert();
      dm_->UserDbfUSERNAME->SetAsString(name);
      dm_->UserDbfUSER_ID->SetAsInteger(0);
      dm_->UserDbfCOUNT->SetAsInteger(0);
      users.Post();
      f.UserSel->setChecked(true);
      dm_->AssignUserId();
      SelectUser();
      dm_->SetUserOrder(user_sort_order_);
    }
  }
  f.UserSel->setChecked(true);
  UserSelClick();
  f.DBGrid1->setFocus();
}

void TForm1::DeleteSelectedUser() {
  Ui::Form1& f = *ui_;
  TTableObject& users = dm_->UserDbf;
  if (!users.Active() || users.IsEmpty()) return;
  const int32_t number = dm_->UserDbfUSER_ID->AsInteger();
  TModalResult answer = ShowMessageBox("Do you want to delete the selected user ?",
                                       "Delete Selected User", TMsgIcon::Question,
                                       TMsgButtons::OKCancel, TModalResult::Cancel);
  if (answer == TModalResult::OK) {
    users.Delete();
    const std::string file = dm_->FolderFile(UserFileName(number));
    // The diary table lets go of the file before it is deleted.
    TTableObject& diary = dm_->UserFoodDbf;
    if (diary.Active() && SameTextAscii(diary.TableName(), UserFileName(number))) {
      diary.Close();
      diary.SetTableName("");
    }
    if (FileExists(file)) {
      users.Close();
      if (!DeleteFile(file))
        ShowMessageBox("The specified File could not be deleted.", "Kalbor", TMsgIcon::Error,
                       TMsgButtons::OK, TModalResult::OK);
    }
    const std::string index = ChangeFileExt(file, ".NDX");
    if (FileExists(index) && !DeleteFile(index))
      ShowMessageBox("The specified File could not be deleted.", "Kalbor", TMsgIcon::Error,
                     TMsgButtons::OK, TModalResult::OK);
    current_user_name_.clear();
    current_user_id_ = 0;
    dm_->SetUserOrder(user_sort_order_);
    SetStatusText(1, "Name : ");
    SetStatusText(2, "ID : ");
    SetCaptionNoUser();
  }
  f.DBGrid1->setFocus();
  if (!users.Active()) users.Open();
  users.PackFile();
  users.Close();
  users.Open();
  f.UserSel->setChecked(true);
  UserSelClick();
}

}  // namespace kalbor
