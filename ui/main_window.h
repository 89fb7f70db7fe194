// TForm1: the program's one window, its frame. Its eight pages (one class
// each, see ui/page.h) sit behind hidden tabs and are switched from the
// Select menu; the calendar, logo and food-group panels float above them.
// The frame holds the selection state the data module reads (through
// TMainWindow), the menus, the status bar with its progress bar, the logo,
// the settings file and the F1 key.
#pragma once

#include <QDate>
#include <QElapsedTimer>
#include <QLabel>
#include <QMainWindow>
#include <QPixmap>
#include <QProgressBar>
#include <memory>
#include <vector>

#include "data/window_interface.h"

namespace Ui {
class Form1;
}

namespace kalbor {

class TCalendarPanel;
class TDM1;
class TFoodDataPage;
class TFoodPage;
class TIntroPage;
class TMakeTablesPage;
class TProgressPage;
class TResultPage;
class TSettingsFile;
class TUserPage;
class TWeightPage;

// The help file's name, in the program folder or the shipped one.
inline constexpr char kHelpFileName[] = "KALBOR.HLP";

// The locale's short date form, with a four-digit year (Qt pattern).
QString ShortDateFormat();
// A date serial and the same day as a Qt date.
int32_t QDateToSerial(const QDate& date);
QDate SerialToQDate(int32_t serial);

class TForm1 : public QMainWindow, public TMainWindow {
  Q_OBJECT

 public:
  // FormCreate: state reset, pages, logo pictures, status bar and progress
  // bar. The help file is `help_file`, or KALBOR.HLP in the program folder
  // when that is empty.
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
  Ui::Form1& Form() { return *ui_; }

  // --- The pages ------------------------------------------------------------
  TIntroPage& IntroPage() { return *intro_page_; }
  TUserPage& UserPage() { return *user_page_; }
  TFoodPage& FoodPage() { return *food_page_; }
  TFoodDataPage& FoodDataPage() { return *food_data_page_; }
  TMakeTablesPage& MakeTablesPage() { return *make_tables_page_; }
  TResultPage& ResultPage() { return *result_page_; }
  TWeightPage& WeightPage() { return *weight_page_; }
  TProgressPage& ProgressPage() { return *progress_page_; }
  TCalendarPanel& Calendar() { return *calendar_; }

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
  char DecimalSeparator() const override;
  TModalResult ShowMessageBox(const std::string& text, const std::string& caption, TMsgIcon icon,
                              TMsgButtons buttons, TModalResult default_button) override;

  // --- Selection state --------------------------------------------------------
  // The selected user: the number alone (while a selection is under way),
  // or number and name together with the status bar and the caption.
  void SetCurrentUserId(int32_t id) { current_user_id_ = id; }
  void SetCurrentUser(int32_t id, const std::string& name);
  // No user selected: "Name : " and "ID : " alone, and the caption says so.
  void ClearCurrentUser();
  void SetUserSortOrder(int order) { user_sort_order_ = order; }

  // --- Frame ----------------------------------------------------------------
  void FormShow();
  void SaveSettings();
  void SetCalendarDate(int32_t serial);
  void SetStatusText(int panel, const QString& text);
  QString StatusText(int panel) const;
  void SetCaptionForUser();
  void SetCaptionNoUser();
  void UncheckPageItems();
  // The common steps of every page operation: the page in front, its mode
  // word, its menu check mark, PageMode, and the floating panels placed.
  void ShowPage(int page_mode);
  bool PageShown(int page_mode) const;
  void FemaleLogo1Click();
  void MaleLogo1Click();
  void Special1Click();
  void Close1Click();
  int LogoChoice() const { return logo_choice_; }
  QString HelpFile() const;
  void ShowHelpContext(int context);
  void Contents1Click();
  void Index1Click();
  void History1Click();
  void About1Click();

 protected:
  void showEvent(QShowEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void FormCreate();
  void AddPages();
  void BuildMenus();
  void BuildStatusBar();
  void DrawLogo(int choice);
  void ShowProgress(bool always);
  void FormKeyDown(QKeyEvent* event);
  QWidget* PageWidget(int page_mode) const;
  void ChainFloatingPanels(QWidget* page);

  std::unique_ptr<Ui::Form1> ui_;
  TDM1* dm_ = nullptr;
  std::string program_folder_;
  QString help_file_;
  std::unique_ptr<TSettingsFile> settings_;
  bool shown_ = false;
  // A first start wrote the settings before the window manager placed the
  // window: the place it is given is written when it is known.
  bool place_unwritten_ = false;

  // The pages belong to the page control; these are their handles.
  TIntroPage* intro_page_ = nullptr;
  TUserPage* user_page_ = nullptr;
  TFoodPage* food_page_ = nullptr;
  TFoodDataPage* food_data_page_ = nullptr;
  TMakeTablesPage* make_tables_page_ = nullptr;
  TResultPage* result_page_ = nullptr;
  TWeightPage* weight_page_ = nullptr;
  TProgressPage* progress_page_ = nullptr;
  std::unique_ptr<TCalendarPanel> calendar_;

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
};

}  // namespace kalbor
