// The frame of the main window: creation, showing, closing, the settings
// file, page switching, status bar and progress bar, logo, F1 and message
// boxes.
#include "ui/main_window.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

#include <QApplication>
#include <QCloseEvent>
#include <QDate>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QStackedWidget>
#include <QStatusBar>

#include "data/dm1.h"
#include "storage/dates.h"
#include "ui/application.h"
#include "ui/calendar_panel.h"
#include "ui/food_data_page.h"
#include "ui/food_page.h"
#include "ui/help/help_viewer.h"
#include "ui/intro_page.h"
#include "ui/make_tables_page.h"
#include "ui/message_boxes.h"
#include "ui/progress_page.h"
#include "ui/result_page.h"
#include "ui/settings_file.h"
#include "ui/user_page.h"
#include "ui/weight_page.h"
#include "ui_main_window.h"

// The pictures live in a static library; Qt wants their resources
// registered from outside any namespace.
static void InitPictureResources() { Q_INIT_RESOURCE(pictures); }

namespace kalbor {

namespace {

constexpr int kHelpContextMenu = 1100;
const char kHelpContextProperty[] = "helpContext";

// Panel widths of the status bar; panel 3 carries the progress bar.
constexpr int kPanelWidths[5] = {110, 150, 50, 130, 150};
constexpr int kStatusHeight = 19;

}  // namespace

int32_t QDateToSerial(const QDate& date) {
  return DateToSerial(date.year(), date.month(), date.day());
}

QDate SerialToQDate(int32_t serial) {
  int y, m, d;
  SerialToDate(serial, y, m, d);
  return QDate(y, m, d);
}

// The locale's short date form, with a four-digit year so that a date
// written in the settings file reads back as the same date.
QString ShortDateFormat() {
  QString format = QLocale().dateFormat(QLocale::ShortFormat);
  // Dates are written with numbers only, so that the table layer, which
  // knows no month names, shows them in the same form (the C locale's short
  // form names the month).
  if (format.contains("MMM") || format.contains("ddd")) return "yyyy-MM-dd";
  if (!format.contains("yyyy")) format.replace("yy", "yyyy");
  return format;
}

TForm1::TForm1(const std::string& program_folder, const std::string& help_file, QWidget* parent)
    : QMainWindow(parent),
      ui_(std::make_unique<Ui::Form1>()),
      program_folder_(program_folder),
      help_file_(help_file.empty() ? QString::fromStdString(program_folder) + kHelpFileName
                                   : QString::fromStdString(help_file)) {
  FormCreate();
}

TForm1::~TForm1() = default;

void TForm1::FormCreate() {
  InitPictureResources();
  ui_->setupUi(this);
  setWindowIcon(ApplicationIcon());
  current_user_id_ = 0;
  logo_choice_ = 0;
  app_title_ = "Kalbor";
  for (const char* name : {"FEMALE", "MALE", "STOP"})
    logo_bitmaps_.push_back(QPixmap(QString(":/pictures/%1.bmp").arg(name)));
  AddPages();
  calendar_ = std::make_unique<TCalendarPanel>(ui_->Panel1, ui_->MonthCalendar1, this);
  BuildStatusBar();
  BuildMenus();
  // Client area 609 x 410: the pages and the status bar below them.
  ui_->centralwidget->setFixedSize(609, 391);
  // A fixed window offers what it can do: minimise and close, no maximise
  // (the customize hint makes the window manager take the hints as given).
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  ui_->Pagecontrol1->setCurrentWidget(intro_page_);
  ui_->Panel1->hide();
  ui_->PopPanel->hide();
  ui_->DBGrid5->hide();
  ui_->Panel1->setFrameShape(QFrame::NoFrame);
  ui_->PopPanel->setFrameShape(QFrame::NoFrame);
  ui_->Image1->setAttribute(Qt::WA_TranslucentBackground);
  ui_->Image1->setPixmap(logo_bitmaps_[0]);
  ui_->Image1->setToolTip("Kalbor 1.0");
  // Group boxes as the desktop draws them: the title set into the frame's
  // top line, not above it.
  for (QGroupBox* box : findChildren<QGroupBox*>())
    box->setStyleSheet(
        "QGroupBox { border: 1px solid palette(mid); border-radius: 3px; margin-top: 0.5em; }"
        "QGroupBox::title { subcontrol-origin: margin; left: 6px; padding: 0 2px; }");
  ui_->Panel1->raise();
  ui_->PopPanel->raise();
  ui_->DBGrid5->raise();
  setFixedSize(609, menuBar()->sizeHint().height() + 391 + kStatusHeight);
}

// The pages in the order of their hidden tabs "1" to "8".
void TForm1::AddPages() {
  QStackedWidget* pages = ui_->Pagecontrol1;
  pages->addWidget(intro_page_ = new TIntroPage(*this));
  pages->addWidget(user_page_ = new TUserPage(*this));
  pages->addWidget(food_page_ = new TFoodPage(*this));
  pages->addWidget(food_data_page_ = new TFoodDataPage(*this));
  pages->addWidget(make_tables_page_ = new TMakeTablesPage(*this));
  pages->addWidget(result_page_ = new TResultPage(*this));
  pages->addWidget(weight_page_ = new TWeightPage(*this));
  pages->addWidget(progress_page_ = new TProgressPage(*this));
}

QWidget* TForm1::PageWidget(int page_mode) const {
  switch (page_mode) {
    case pmIntro: return intro_page_;
    case pmUser: return user_page_;
    case pmFoodEntry: return food_page_;
    case pmFoodData: return food_data_page_;
    case pmResult: return result_page_;
    case pmTableMaking: return make_tables_page_;
    case pmWeight: return weight_page_;
    case pmProgress: return progress_page_;
    default: return nullptr;
  }
}

bool TForm1::PageShown(int page_mode) const {
  QWidget* page = PageWidget(page_mode);
  return page && ui_->Pagecontrol1->currentWidget() == page;
}

void TForm1::BuildStatusBar() {
  QStatusBar* bar = ui_->StatusBar1;
  bar->setSizeGripEnabled(false);
  bar->setFixedHeight(kStatusHeight);
  const char* texts[5] = {"Mode:", "User:", "ID:", "", ""};
  int left = 0;
  for (int i = 0; i < 5; ++i) {
    auto* panel = new QLabel(texts[i], bar);
    panel->setGeometry(left, 0, kPanelWidths[i] - 2, kStatusHeight);
    panel->setFrameShape(QFrame::Panel);
    panel->setFrameShadow(QFrame::Sunken);
    panel->setIndent(2);
    left += kPanelWidths[i];
    status_panels_.push_back(panel);
  }
  // The progress bar lies over panel 3, without a border of its own.
  status_progress_ = new QProgressBar(bar);
  status_progress_->setGeometry(kPanelWidths[0] + kPanelWidths[1] + kPanelWidths[2] + 4, 4,
                                kPanelWidths[3] - 6, kStatusHeight - 6);
  status_progress_->setRange(0, 1000);
  status_progress_->setValue(0);
  status_progress_->setTextVisible(false);
  status_progress_->setStyleSheet("QProgressBar { border: none; }");
  status_progress_->raise();
}

void TForm1::BuildMenus() {
  Ui::Form1& f = *ui_;
  for (QAction* a : {f.Close1, f.Normal1, f.USA1, f.Title, f.UserData, f.EnterFood, f.Result1,
                     f.Progress1, f.FoodData1, f.MakeTables1})
    a->setProperty(kHelpContextProperty, kHelpContextMenu);
  f.Help1->menuAction()->setProperty(kHelpContextProperty, kHelpContextMenu);
  f.Close1->setToolTip("Close this program");

  connect(f.Close1, &QAction::triggered, this, &TForm1::Close1Click);
  connect(f.FemaleLogo1, &QAction::triggered, this, &TForm1::FemaleLogo1Click);
  connect(f.MaleLogo1, &QAction::triggered, this, &TForm1::MaleLogo1Click);
  connect(f.Special1, &QAction::triggered, this, &TForm1::Special1Click);
  connect(f.Title, &QAction::triggered, intro_page_, &TIntroPage::TitleClick);
  connect(f.UserData, &QAction::triggered, user_page_, &TUserPage::UserDataClick);
  connect(f.EnterFood, &QAction::triggered, food_page_, &TFoodPage::EnterFoodClick);
  connect(f.EnterWeight1, &QAction::triggered, weight_page_, &TWeightPage::EnterWeight1Click);
  connect(f.Result1, &QAction::triggered, result_page_, &TResultPage::Result1Click);
  connect(f.Progress1, &QAction::triggered, progress_page_, &TProgressPage::Progress1Click);
  connect(f.FoodData1, &QAction::triggered, food_data_page_, &TFoodDataPage::FoodData1Click);
  connect(f.MakeTables1, &QAction::triggered, make_tables_page_,
          &TMakeTablesPage::MakeTables1Click);
  connect(f.Contents1, &QAction::triggered, this, &TForm1::Contents1Click);
  connect(f.Index1, &QAction::triggered, this, &TForm1::Index1Click);
  connect(f.History1, &QAction::triggered, this, &TForm1::History1Click);
  connect(f.About1, &QAction::triggered, this, &TForm1::About1Click);

  // The window sees every key before the focused control (F1 opens help
  // for the page shown): an application-wide filter passes it the keys of
  // its own widgets.
  qApp->installEventFilter(this);
}

void TForm1::StartDataModule(TDM1& dm) {
  try {
    dm.DM1Create(program_folder_);
  } catch (const std::exception& e) {
    // The program goes on without the user list; the damaged file is left
    // as it is.
    ShowErrorMessage(this, e.what());
  }
  SetDataModule(&dm);
}

void TForm1::SetDataModule(TDM1* dm) {
  dm_ = dm;
  calendar_->Bind(*dm);
  for (TPage* page : std::initializer_list<TPage*>{intro_page_, user_page_, food_page_,
                                                   food_data_page_, make_tables_page_,
                                                   result_page_, weight_page_,
                                                   progress_page_})
    page->Bind(*dm);
}

// --- Showing and closing ------------------------------------------------------

void TForm1::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (shown_) return;
  shown_ = true;
  FormShow();
}

void TForm1::FormShow() {
  SetCalendarDate(QDateToSerial(QDate::currentDate()));
  start_sort_order_ = 0;
  page_mode_ = 1;
  current_user_id_ = 1;

  ini_file_name_ = QString::fromStdString(program_folder_) + "KALBOR.INI";
  settings_ = std::make_unique<TSettingsFile>(ini_file_name_);
  if (settings_->Exists()) {
    TSettingsFile& ini = *settings_;
    int top = ini.ReadInteger("MainForm", "Form_Top", y());
    int left = ini.ReadInteger("MainForm", "Form_Left", x());
    // A position off every screen would hide the window: keep it reachable.
    QRect screen = QGuiApplication::primaryScreen()
                       ? QGuiApplication::primaryScreen()->availableGeometry()
                       : QRect(0, 0, 1 << 16, 1 << 16);
    if (screen.contains(QPoint(left + 20, top + 20))) move(left, top);
    page_mode_ = ini.ReadInteger("MainForm", "Active_Sheet", 1);
    logo_choice_ = ini.ReadInteger("MainForm", "Logo", 0);
    current_user_id_ = ini.ReadInteger("User", "User_ID", 1);
    start_sort_order_ = ini.ReadInteger("User", "User_Index", 0);
    QString date_text = ini.ReadString("User", "Date", QString());
    QDate date = QLocale().toDate(date_text, ShortDateFormat());
    if (date.isValid() && date.year() >= 1 && date.year() <= 9999)
      SetCalendarDate(QDateToSerial(date));
  } else {
    SaveSettings();
    place_unwritten_ = true;
  }

  try {
    dm_->LocateUser(current_user_id_);
  } catch (const std::exception& e) {
    ShowErrorMessage(this, e.what());
  }
  const std::string name = dm_->CurrentRowUserName();
  SetUserNameText(name);
  SetCurrentUser(current_user_id_, name);

  user_page_->SelectUser();

  switch (page_mode_) {
    case pmIntro: intro_page_->TitleClick(); break;
    case pmUser:
      user_page_->UserDataClick();
      user_page_->RestoreSortOrder(start_sort_order_);
      break;
    case pmFoodEntry: food_page_->EnterFoodClick(); break;
    case pmFoodData: food_data_page_->FoodData1Click(); break;
    case pmResult: result_page_->Result1Click(); break;
    case pmTableMaking: make_tables_page_->MakeTables1Click(); break;
    case pmWeight: weight_page_->EnterWeight1Click(); break;
    case pmProgress: progress_page_->Progress1Click(); break;
    default: break;  // the intro page stays in front
  }
  switch (logo_choice_) {
    case 0: FemaleLogo1Click(); break;
    case 1: MaleLogo1Click(); break;
    case 2: Special1Click(); break;
    default: break;
  }
}

void TForm1::SaveSettings() {
  if (!settings_) settings_ = std::make_unique<TSettingsFile>(ini_file_name_);
  TSettingsFile& ini = *settings_;
  ini.WriteInteger("MainForm", "Logo", logo_choice_);
  ini.WriteInteger("MainForm", "Form_Top", y());
  ini.WriteInteger("MainForm", "Form_Left", x());
  ini.WriteInteger("MainForm", "Active_Sheet", page_mode_);
  ini.WriteInteger("User", "User_ID", 1);
  ini.WriteInteger("User", "User_Index", 0);
  ini.WriteString("User", "Date", SerialToQDate(CalendarDate()).toString(ShortDateFormat()));
  ini.WriteInteger("User", "User_ID", current_user_id_);
  ini.WriteInteger("User", "User_Index", std::max(0, user_page_->SortItemIndex()));
}

void TForm1::moveEvent(QMoveEvent* event) {
  QMainWindow::moveEvent(event);
  if (!place_unwritten_ || !settings_ || !isVisible()) return;
  place_unwritten_ = false;
  settings_->WriteInteger("MainForm", "Form_Top", y());
  settings_->WriteInteger("MainForm", "Form_Left", x());
}

void TForm1::closeEvent(QCloseEvent* event) {
  SaveSettings();
  QMainWindow::closeEvent(event);
}

void TForm1::Close1Click() { close(); }

// --- State read by the data module ----------------------------------------------

int32_t TForm1::CalendarDate() const { return calendar_->Date(); }

void TForm1::SetCalendarDate(int32_t serial) { calendar_->SetDate(serial); }

void TForm1::SetProgressMax(int32_t maximum) {
  progress_max_ = std::max(maximum, 0);
  status_progress_->setMaximum(std::max(progress_max_, 1));
  if (progress_value_ > progress_max_) progress_value_ = 0;
  ShowProgress(true);
}

void TForm1::StepProgress() {
  ++progress_value_;
  // A bar at its end starts again from its beginning.
  if (progress_value_ > status_progress_->maximum()) progress_value_ = 0;
  ShowProgress(false);
}

void TForm1::SetProgressPosition(int32_t position) {
  progress_value_ = position;
  ShowProgress(true);
}

// A walk steps the bar once per row, tens of thousands of times; the bar is
// told only when its filling moves by a thousandth, since each change of
// its value costs more than reading the row.
void TForm1::ShowProgress(bool always) {
  const int64_t maximum = std::max(status_progress_->maximum(), 1);
  const int64_t value = std::clamp<int64_t>(progress_value_, status_progress_->minimum(), maximum);
  const int64_t shown = status_progress_->value();
  if (always || value == 0 || value == maximum || value < shown ||
      (value - shown) * 1000 >= maximum)
    status_progress_->setValue(static_cast<int>(value));
}

void TForm1::FitUserGrid() { user_page_->FitUserGrid(); }

bool TForm1::UserNewDown() const { return user_page_->UserNewDown(); }

void TForm1::SetUserNameText(const std::string& text) { user_page_->SetUserNameText(text); }

void TForm1::SetGroupLabel(const std::string& text) { food_data_page_->SetGroupLabel(text); }

void TForm1::SetAddProductEnabled(bool enabled) { food_data_page_->SetAddProductEnabled(enabled); }

void TForm1::ProcessMessages() {
  // Repaints and the progress bar, but no clicks: nothing may start a second
  // action in the middle of a walk. Walks call this for every row; the
  // window is served at most every 20 ms, which keeps it as lively and
  // spares a trip through the event loop per row.
  if (message_timer_.isValid() && message_timer_.elapsed() < 20) return;
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  message_timer_.start();
}

// A separator of more than one character (or none) is written as a point.
char TForm1::DecimalSeparator() const {
  const QString point = QLocale().decimalPoint();
  return point.size() == 1 && point[0].unicode() < 0x80 ? point[0].toLatin1() : '.';
}

std::string TForm1::ShortDayName(int day_of_week) const {
  int qt_day = day_of_week == 0 ? 7 : day_of_week;
  QString name = QLocale().dayName(qt_day, QLocale::ShortFormat);
  if (name.isEmpty()) return kEnglishShortDayNames[day_of_week % 7];
  return name.toStdString();
}

TModalResult TForm1::ShowMessageBox(const std::string& text, const std::string& caption,
                                    TMsgIcon icon, TMsgButtons buttons,
                                    TModalResult default_button) {
  return RunMessageBox(this, text, caption, icon, buttons, default_button);
}

// --- Status bar and caption -------------------------------------------------------

void TForm1::SetStatusText(int panel, const QString& text) { status_panels_.at(panel)->setText(text); }

QString TForm1::StatusText(int panel) const { return status_panels_.at(panel)->text(); }

void TForm1::SetCaptionForUser() {
  setWindowTitle(app_title_ + " -- " + QString::fromStdString(current_user_name_) + " --");
}

void TForm1::SetCaptionNoUser() { setWindowTitle(app_title_ + " -- No User Selected --"); }

void TForm1::SetCurrentUser(int32_t id, const std::string& name) {
  current_user_id_ = id;
  current_user_name_ = name;
  SetStatusText(1, "Name : " + QString::fromStdString(name));
  SetStatusText(2, "ID : " + QString::number(id));
  SetCaptionForUser();
}

void TForm1::ClearCurrentUser() {
  current_user_id_ = 0;
  current_user_name_.clear();
  SetStatusText(1, "Name : ");
  SetStatusText(2, "ID : ");
  SetCaptionNoUser();
}

// --- Pages --------------------------------------------------------------------------

void TForm1::UncheckPageItems() {
  Ui::Form1& f = *ui_;
  for (QAction* a : {f.Title, f.UserData, f.EnterFood, f.EnterWeight1, f.FoodData1, f.MakeTables1,
                     f.Result1, f.Progress1})
    a->setChecked(false);
  f.DBGrid5->hide();
}

void TForm1::ShowPage(int page_mode) {
  struct Place {
    const char* mode_word;
    QAction* item;
    QPoint calendar, logo, groups;  // (-1, -1): hidden
    int groups_height = 0;  // the group grid as tall as the page leaves room for
  };
  Ui::Form1& f = *ui_;
  const QPoint hidden(-1, -1);
  Place place;
  switch (page_mode) {
    case pmIntro: place = {"Info", f.Title, hidden, {400, 116}, hidden}; break;
    case pmUser: place = {"Select User", f.UserData, hidden, {440, 16}, hidden}; break;
    case pmFoodEntry:
      place = {"Enter Food", f.EnterFood, {402, 11}, hidden, {84, 181}, 169};
      break;
    case pmFoodData: place = {"Food Data", f.FoodData1, hidden, hidden, {10, 22}, 145}; break;
    case pmResult: place = {"Show Result", f.Result1, {393, 22}, hidden, hidden}; break;
    case pmTableMaking: place = {"Make New Tables", f.MakeTables1, hidden, {445, 60}, hidden}; break;
    case pmWeight: place = {"Enter Weigth", f.EnterWeight1, {202, 183}, hidden, hidden}; break;
    case pmProgress: place = {"Progress", f.Progress1, {404, 226}, hidden, hidden}; break;
    default: return;
  }
  f.Pagecontrol1->setCurrentWidget(PageWidget(page_mode));
  SetStatusText(0, place.mode_word);
  UncheckPageItems();
  place.item->setChecked(true);
  page_mode_ = page_mode;
  auto put = [](QWidget* w, QPoint at) {
    if (at == QPoint(-1, -1)) {
      w->hide();
    } else {
      w->move(at);
      w->show();
      w->raise();
    }
  };
  put(f.Panel1, place.calendar);
  put(f.PopPanel, place.logo);
  put(f.DBGrid5, place.groups);
  if (place.groups_height > 0) f.DBGrid5->resize(f.DBGrid5->width(), place.groups_height);
  ChainFloatingPanels(PageWidget(page_mode));
}

namespace {

// Reading order of two places on the page: top to bottom, where tops less
// than a row apart count as one line, read left to right.
bool ReadsBefore(QPoint a, QPoint b) {
  constexpr int kLine = 30;
  if (std::abs(a.y() - b.y()) >= kLine) return a.y() < b.y();
  return a.x() < b.x();
}

}  // namespace

// The page's controls keep the focus order of its form file; the floating
// calendar and group grid shown with it join that order where they stand
// on the page.
void TForm1::ChainFloatingPanels(QWidget* page) {
  QWidget* area = ui_->centralwidget;
  auto place = [area](QWidget* w) { return w->mapTo(area, QPoint(0, 0)); };
  std::vector<QWidget*> chain;
  for (QWidget* w = page->nextInFocusChain(); w != page; w = w->nextInFocusChain())
    if (page->isAncestorOf(w) && w->focusPolicy() != Qt::NoFocus) chain.push_back(w);
  for (QWidget* panel : {static_cast<QWidget*>(ui_->MonthCalendar1),
                         static_cast<QWidget*>(ui_->DBGrid5)}) {
    if (panel->isHidden() || panel->parentWidget()->isHidden()) continue;
    auto later = std::find_if(chain.begin(), chain.end(), [&](QWidget* w) {
      return ReadsBefore(place(panel), place(w));
    });
    chain.insert(later, panel);
  }
  for (size_t i = 1; i < chain.size(); ++i) QWidget::setTabOrder(chain[i - 1], chain[i]);
}

// --- Logo ---------------------------------------------------------------------------

void TForm1::DrawLogo(int choice) {
  Ui::Form1& f = *ui_;
  f.Image1->setPixmap(logo_bitmaps_.at(static_cast<size_t>(choice)));
  f.FemaleLogo1->setChecked(choice == 0);
  f.MaleLogo1->setChecked(choice == 1);
  f.Special1->setChecked(choice == 2);
  logo_choice_ = choice;
}

void TForm1::FemaleLogo1Click() { DrawLogo(0); }
void TForm1::MaleLogo1Click() { DrawLogo(1); }
void TForm1::Special1Click() { DrawLogo(2); }

// --- Help -----------------------------------------------------------------------------

QString TForm1::HelpFile() const { return help_file_; }

void TForm1::ShowHelpContext(int context) { ShowHelpTopic(this, HelpFile(), context); }

void TForm1::Contents1Click() { ShowHelpContents(this, HelpFile()); }

void TForm1::Index1Click() { RunHelpMacro(this, HelpFile(), "SEARCH()"); }

void TForm1::History1Click() { ShowHelpContext(9500); }

void TForm1::About1Click() { ShowHelpContext(9999); }

void TForm1::FormKeyDown(QKeyEvent* event) {
  if (event->key() != Qt::Key_F1) return;
  static const int kContexts[9] = {0, 1200, 2000, 3000, 4000, 6000, 5000, 3500, 6500};
  if (page_mode_ >= 1 && page_mode_ <= 8) ShowHelpContext(kContexts[page_mode_]);
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_F1) {
    auto* widget = qobject_cast<QWidget*>(watched);
    bool menu = qobject_cast<QMenu*>(watched) || qobject_cast<QMenuBar*>(watched);
    if (widget && !menu && widget->window() == this) {
      FormKeyDown(static_cast<QKeyEvent*>(event));
      return true;
    }
    QAction* active = nullptr;
    if (auto* menu = qobject_cast<QMenu*>(watched)) active = menu->activeAction();
    if (auto* bar = qobject_cast<QMenuBar*>(watched)) active = bar->activeAction();
    if (active) {
      QVariant context = active->property(kHelpContextProperty);
      if (context.isValid()) {
        ShowHelpContext(context.toInt());
        return true;
      }
      return true;  // a highlighted item without a topic: F1 does nothing
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

// --- Calendar ---------------------------------------------------------------------------

void TForm1::RefreshCalendar() { calendar_->Rebuild(); }

}  // namespace kalbor
