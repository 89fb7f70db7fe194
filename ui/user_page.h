// The user page: the user list in its chosen order, and selecting, adding,
// renaming and deleting users with the three mode buttons Select, New and
// Delete and the action button beside the name box.
#pragma once

#include <memory>
#include <string>

#include "ui/page.h"

namespace Ui {
class UserPage;
}

class QPushButton;

namespace kalbor {

class TTableModel;

class TUserPage : public TPage {
  Q_OBJECT

 public:
  explicit TUserPage(TForm1& form);
  ~TUserPage() override;
  void Bind(TDM1& dm) override;
  Ui::UserPage& Form() { return *ui_; }

  void UserDataClick();  // "&Select User"
  void UserSortClick();
  void UserSelClick();
  void UserNewClick();
  void UserDelClick();
  void AddUserClick();
  void DBGrid1DblClick();
  void SelectUser();
  void AddNewUser();
  void DeleteSelectedUser();

  // The grid as high as its rows, up to 16.
  void FitUserGrid();
  bool UserNewDown() const;
  void SetUserNameText(const std::string& text);
  int SortItemIndex() const;
  // The order remembered in the settings file, at start on this page.
  void RestoreSortOrder(int order);

 private:
  void PressMode(QPushButton* mode);
  std::unique_ptr<Ui::UserPage> ui_;
  std::unique_ptr<TTableModel> model_;
};

}  // namespace kalbor
