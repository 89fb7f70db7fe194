// TForm1: the program's one window. Its seven pages sit behind hidden tabs
// and are switched from the Select menu; the calendar, logo and food-group
// panels float above them. The window holds the selection state the data
// module reads (through TMainWindow) and owns the settings file.
//
// The window's operations are spread over one unit per page:
// main_window.cpp (frame, menus, settings, logo, F1), user_page.cpp,
// food_page.cpp (with the calendar), food_data_page.cpp, result_page.cpp and
// make_tables_page.cpp (with the Help menu).
#pragma once

#include <QAbstractItemView>
#include <QElapsedTimer>
#include <QMainWindow>
#include <QPixmap>
#include <QPointer>
#include <QProgressBar>
#include <QLabel>
#include <memory>
#include <vector>

#include "data/main_window.h"

namespace Ui {
class Form1;
}

namespace kalbor {

class TDM1;
class TTableModel;
class TSettingsFile;

// The locale's short date form, with a four-digit year (Qt pattern).
QString ShortDateFormat();

class TForm1 : public QMainWindow, public TMainWindow {
  Q_OBJECT

 public:
  // FormCreate: state reset, logo pictures, status bar and progress bar.
  // The help file is `help_file`, or KALBOR.HLP in the program folder when
  // that is empty.
  explicit TForm1(const std::string& program_folder, const std::string& help_file = {},
                  QWidget* parent = nullptr);
  ~TForm1() override;

  // The data module is made after the window; it is handed over before the
  // window is shown.
  void SetDataModule(TDM1* dm);
  // The program's start of the data module: its creation handler, whose
  // errors (a damaged user list, say) are shown and survived, then
  // SetDataModule.
  void StartDataModule(TDM1& dm);
  TDM1& DM1() const { return *dm_; }
  Ui::Form1& Form() { return *ui_; }

  // --- TMainWindow ----------------------------------------------------------
  int32_t CurrentUserId() const override { return current_user_id_; }
  std::string CurrentUserName() const override { return current_user_name_; }
  int UserSortOrder() const override { return user_sort_order_; }
  int PageMode() const override { return page_mode_; }
  int32_t CalendarDate() const override;
  void FitUserGrid() override;
  void RefreshCalendar() override;
  void SetProgressMax(int32_t maximum) override;
  void StepProgress() override;
  void SetProgressPosition(int32_t position) override;
  bool UserNewDown() const override;
  void SetUserNameText(const std::string& text) override;
  void SetGroupLabel(const std::string& text) override;
  void SetAddProductEnabled(bool enabled) override;
  void ProcessMessages() override;
  std::string ShortDayName(int day_of_week) const override;
  TModalResult ShowMessageBox(const std::string& text, const std::string& caption, TMsgIcon icon,
                              TMsgButtons buttons, TModalResult default_button) override;

  // --- Frame (main_window.cpp) ----------------------------------------------
  void FormShow();
  void SaveSettings();
  void SetCalendarDate(int32_t serial);
  void SetStatusText(int panel, const QString& text);
  QString StatusText(int panel) const;
  void SetCaptionForUser();
  void SetCaptionNoUser();
  void UncheckPageItems();
  // The common steps of every page operation.
  void ShowPage(int page_mode);
  void TitleClick();
  void EnterWeight1Click();
  void FemaleLogo1Click();
  void MaleLogo1Click();
  void Special1Click();
  void Close1Click();
  int LogoChoice() const { return logo_choice_; }
  QString HelpFile() const;
  void ShowHelpContext(int context);

  // --- User page (user_page.cpp) --------------------------------------------
  void UserDataClick();
  void UserSortClick();
  void UserSelClick();
  void UserNewClick();
  void UserDelClick();
  void AddUserClick();
  void DBGrid1DblClick();
  void SelectUser();
  void AddNewUser();
  void DeleteSelectedUser();

  // --- Food entry page and calendar (food_page.cpp) -------------------------
  void EnterFoodClick();
  void MonthCalendar1Click();
  void MonthCalendar1Enter();
  void ViewDayClick();
  void ViewAllClick();
  void Button1Click();
  void Button2Click();
  void SearchEditEnter();
  void SearchEditChange();

  // --- Food data page (food_data_page.cpp) ----------------------------------
  void FoodData1Click();
  void DBGrid2TitleClick(int column);
  void DBGrid2ColEnter(int column);
  void DBGrid2ColExit(int column);
  void DBGrid2CellClick(int column);
  void DBGrid2KeyDown(int key, int column);
  void ToggleUsedCell();
  void AddProductBtnClick();
  int32_t NextFoodId();

  // --- Result page (result_page.cpp) ----------------------------------------
  void Result1Click();
  void ShowDayTotals(int32_t date_serial);

  // --- Table-making page and Help (make_tables_page.cpp) --------------------
  void MakeTables1Click();
  void MakeTableClick();
  void Contents1Click();
  void Index1Click();
  void History1Click();
  void About1Click();

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void FormCreate();
  void BuildMenus();
  void BuildStatusBar();
  void BindUserPage();
  void BindFoodPage();
  void BindFoodDataPage();
  void BindResultPage();
  void BindMakeTablesPage();
  void DrawLogo(int choice);
  void RebuildCalendar();
  void ShowProgress(bool always);
  void FormKeyDown(QKeyEvent* event);

  std::unique_ptr<Ui::Form1> ui_;
  TDM1* dm_ = nullptr;
  std::string program_folder_;
  QString help_file_;
  std::unique_ptr<TSettingsFile> settings_;
  bool shown_ = false;

  // State (reset when the window is made).
  int32_t current_user_id_ = 0;
  std::string current_user_name_;
  int page_mode_ = 1;
  int logo_choice_ = 0;
  int user_sort_order_ = 0;
  int start_sort_order_ = 0;
  QString app_title_ = "Kalbor";
  QString ini_file_name_;
  std::vector<QPixmap> logo_bitmaps_;
  QProgressBar* status_progress_ = nullptr;
  std::vector<QLabel*> status_panels_;
  int32_t progress_max_ = 1000;
  int32_t progress_value_ = 0;  // the bar's position; the bar itself may lag a thousandth
  QElapsedTimer message_timer_;

  // Grids.
  std::vector<std::unique_ptr<TTableModel>> models_;
  // The catalogue grid's edit triggers while a true/false column is current.
  QAbstractItemView::EditTriggers SavedGridOptions;
  // A catalogue row that "Add" inserted but could not post (kilocalories
  // that are no whole number) is still open.
  bool added_product_open_ = false;
};

}  // namespace kalbor
