#include "ui/user_page.h"

#include "data/dm1.h"
#include "storage/codepage.h"
#include "ui/grid/table_model.h"
#include "ui/main_window.h"
#include "ui_user_page.h"

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

}  // namespace

TUserPage::TUserPage(TForm1& form) : TPage(form), ui_(std::make_unique<Ui::UserPage>()) {
  ui_->setupUi(this);
}

TUserPage::~TUserPage() = default;

void TUserPage::Bind(TDM1& dm) {
  dm_ = &dm;
  Ui::UserPage& f = *ui_;
  Qt::Alignment right = Qt::AlignRight | Qt::AlignVCenter;
  model_ = std::make_unique<TTableModel>(
      dm.UserDbf, std::vector<TGridColumn>{
                      {"USER_ID", "USER_ID", 58, right, Qt::AlignLeft | Qt::AlignVCenter},
                      {"USERNAME", "USERNAME", 131},
                      {"COUNT", "COUNT", 50, right, Qt::AlignLeft | Qt::AlignVCenter}});
  f.DBGrid1->SetModel(model_.get(), true);
  // Ctrl+Delete deletes the user with all their files, as "Delete" does.
  f.DBGrid1->DeleteRow = [this] { DeleteSelectedUser(); };
  connect(f.DBGrid1, &QAbstractItemView::doubleClicked, this, [this] { DBGrid1DblClick(); });
  f.DBNavigator1->Bind(dm.UserDbf, {TNavButton::First, TNavButton::Prior, TNavButton::Next,
                                    TNavButton::Last});
  f.UserSort->SetItems({"User name", "User ID", "Count"});
  f.UserSort->SetItemIndex(0);
  connect(f.UserSort, &TRadioGroup::Clicked, this, [this] { UserSortClick(); });
  connect(f.UserSel, &QPushButton::clicked, this, &TUserPage::UserSelClick);
  connect(f.UserNew, &QPushButton::clicked, this, &TUserPage::UserNewClick);
  connect(f.UserDel, &QPushButton::clicked, this, &TUserPage::UserDelClick);
  connect(f.AddUser, &QPushButton::clicked, this, &TUserPage::AddUserClick);
  // Enter in the name box does what the action button beside it does.
  connect(f.Edit1, &QLineEdit::returnPressed, this, &TUserPage::AddUserClick);
}

// The three mode buttons: one is down. Each is a stop of the Tab key of
// its own (an exclusive group would let Tab reach only the one down).
void TUserPage::PressMode(QPushButton* mode) {
  for (QPushButton* b : {ui_->UserSel, ui_->UserNew, ui_->UserDel}) b->setChecked(b == mode);
}

void TUserPage::FitUserGrid() {
  int n = dm_ ? dm_->UserRowCount() : 0;
  n = std::clamp(n, 1, 16);
  QWidget* grid = ui_->DBGrid1;
  grid->resize(grid->width(), n * 18 + 22);
}

bool TUserPage::UserNewDown() const { return ui_->UserNew->isChecked(); }

void TUserPage::SetUserNameText(const std::string& text) {
  ui_->Edit1->setText(QString::fromStdString(text));
}

int TUserPage::SortItemIndex() const { return ui_->UserSort->ItemIndex(); }

void TUserPage::RestoreSortOrder(int order) {
  if (order >= 0 && order <= 2) {
    ui_->UserSort->SetItemIndex(order);
    form_.SetUserSortOrder(order);
  }
  dm_->SetUserOrder(order);
}

void TUserPage::UserDataClick() {
  Ui::UserPage& f = *ui_;
  form_.ShowPage(pmUser);
  FitUserGrid();
  f.DBGrid1->setFocus();
  if (!dm_->UserOrderChosen()) {
    f.UserSort->SetItemIndex(0);
    UserSortClick();
  }
  dm_->DiaryFilterOff();
  dm_->UpdateUserCount();
  if (form_.CurrentUserId() > 0) dm_->LocateUser(form_.CurrentUserId());
}

void TUserPage::UserSortClick() {
  form_.SetUserSortOrder(ui_->UserSort->ItemIndex());
  dm_->SetUserOrder(form_.UserSortOrder());
  ui_->DBGrid1->setFocus();
}

void TUserPage::UserSelClick() {
  Ui::UserPage& f = *ui_;
  PressMode(f.UserSel);
  f.Edit1->setEnabled(true);
  f.Edit1->setText(QString::fromStdString(dm_->CurrentRowUserName()));
  f.Label3->setText("Selected User");
  f.AddUser->setText("Select");
  form_.SetStatusText(0, "Select User");
}

void TUserPage::UserNewClick() {
  Ui::UserPage& f = *ui_;
  PressMode(f.UserNew);
  f.Edit1->setEnabled(true);
  f.Edit1->clear();
  f.Label3->setText("New User");
  f.AddUser->setText("Add User");
  form_.SetStatusText(0, "New User");
  f.Edit1->setFocus();  // the name is typed next
}

void TUserPage::UserDelClick() {
  Ui::UserPage& f = *ui_;
  PressMode(f.UserDel);
  f.Edit1->setEnabled(false);
  f.Edit1->setText(QString::fromStdString(dm_->CurrentRowUserName()));
  f.Label3->setText("Delete this User");
  f.AddUser->setText("Delete");
  form_.SetStatusText(0, "Delete User");
}

void TUserPage::AddUserClick() {
  Ui::UserPage& f = *ui_;
  // One action per click: each action that leaves its mode puts "Select "
  // down first.
  if (f.UserSel->isChecked()) SelectUser();
  if (f.UserNew->isChecked()) AddNewUser();
  if (f.UserDel->isChecked()) DeleteSelectedUser();
  FitUserGrid();
  dm_->ResumeUserListDisplay();
}

void TUserPage::DBGrid1DblClick() {
  if (ui_->UserSel->isChecked()) AddUserClick();
}

void TUserPage::SelectUser() {
  Ui::UserPage& f = *ui_;
  if (!dm_->HasUsers()) return;
  QString text = f.Edit1->text().trimmed();
  f.Edit1->setText(text);
  const int32_t old_id = form_.CurrentUserId();
  const int32_t id = dm_->CurrentRowUserId();
  form_.SetCurrentUserId(id);
  const std::string name = text.toStdString();
  if (name != dm_->CurrentRowUserName()) {
    TModalResult answer = form_.ShowMessageBox("Do you want to change the name of the user?",
                                               "Change User Name", TMsgIcon::Question,
                                               TMsgButtons::OKCancel, TModalResult::Cancel);
    if (answer == TModalResult::OK && !name.empty() && CheckUserName(form_, name) &&
        dm_->RenameUser(id, name))
      f.Edit1->setText(QString::fromStdString(dm_->CurrentRowUserName()));
  }
  form_.SetCurrentUser(id, dm_->CurrentRowUserName());
  dm_->OpenUserFiles(old_id);
}

void TUserPage::AddNewUser() {
  Ui::UserPage& f = *ui_;
  QString text = f.Edit1->text().trimmed();
  f.Edit1->setText(text);
  const std::string name = text.toStdString();
  if (name.empty()) {
    form_.ShowMessageBox("You must enter a user name.", kNewUser, TMsgIcon::Warning,
                         TMsgButtons::OK, TModalResult::OK);
    f.DBGrid1->setFocus();
    return;
  }
  if (CheckUserName(form_, name)) {
    // With "Select " down the name box follows the list's cursor again.
    PressMode(f.UserSel);
    if (dm_->AddUser(name) != 0) {
      SelectUser();
      dm_->SetUserOrder(form_.UserSortOrder());
    }
  }
  PressMode(f.UserSel);
  UserSelClick();
  f.DBGrid1->setFocus();
}

void TUserPage::DeleteSelectedUser() {
  Ui::UserPage& f = *ui_;
  if (!dm_->HasUsers()) return;
  const int32_t number = dm_->CurrentRowUserId();
  TModalResult answer = form_.ShowMessageBox("Do you want to delete the selected user ?",
                                             "Delete Selected User", TMsgIcon::Question,
                                             TMsgButtons::OKCancel, TModalResult::Cancel);
  f.DBGrid1->setFocus();
  if (answer == TModalResult::OK) {
    // The selected user goes with their diary; deleting another user keeps
    // the selection.
    if (number == form_.CurrentUserId()) form_.ClearCurrentUser();
    dm_->DeleteUser(number);
  } else {
    dm_->PackUserList();
  }
  PressMode(f.UserSel);
  UserSelClick();
}

}  // namespace kalbor
