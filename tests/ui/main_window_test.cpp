// The window's frame: the settings file, pages restored at the next start,
// the logo, F1 topics, a damaged user list, and one running copy.
#include <QDate>
#include <QMenu>
#include <QFile>
#include <QProcess>
#include <QProgressBar>
#include <QScreen>
#include <QSettings>
#include <QThread>
#include <filesystem>
#include <functional>

#include <QChartView>
#include <QXYSeries>

#include "ui/help/help_viewer.h"
#include "ui/single_instance.h"
#include "ui_fixture.h"

namespace kalbor {
namespace {

class MainWindowTest : public test::UiTest {
 protected:
  QString Ini(const QString& key) {
    QSettings ini(QString::fromStdString(File("KALBOR.INI")), QSettings::IniFormat);
    return ini.value(key).toString();
  }
  void WriteIni(const std::string& text) {
    std::string path = File("KALBOR.INI");
    std::FILE* f = std::fopen(path.c_str(), "w");
    std::fputs(text.c_str(), f);
    std::fclose(f);
  }
  // USERNAME.DBF as an earlier run left it, with these users.
  void WriteUserList(const std::vector<std::pair<int32_t, std::string>>& users) {
    TTableObject list;
    CreateSchemaTable(list, dir.path(), "USERNAME.DBF", kUserNameColumns);
    for (const auto& [id, name] : users) {
      list.Append();
      list.FieldByName("USER_ID").SetAsInteger(id);
      list.FieldByName("USERNAME").SetAsString(name);
      list.Post();
    }
  }
  // Closes the window as a person would, then starts the program again.
  void Restart() {
    form->close();
    form.reset();
    dm.reset();
    Start();
  }
};

TEST_F(MainWindowTest, FirstStartWritesTheSettingsFileWithTheStartValues) {
  Start();
  EXPECT_EQ(Ini("MainForm/Logo"), "0");
  EXPECT_EQ(Ini("MainForm/Active_Sheet"), "1");
  EXPECT_FALSE(Ini("MainForm/Form_Top").isEmpty());
  EXPECT_FALSE(Ini("MainForm/Form_Left").isEmpty());
  EXPECT_EQ(Ini("User/User_ID"), "1");
  EXPECT_EQ(Ini("User/User_Index"), "0");
  EXPECT_EQ(Ini("User/Date"), QDate::currentDate().toString(ShortDateFormat()));
  EXPECT_TRUE(Ini("User/Date").contains(QString::number(QDate::currentDate().year())))
      << "a four-digit year reads back as the same date";
}

// The first start writes the settings before the window is placed; the
// place it is then given is what the file keeps, not 0/0.
TEST_F(MainWindowTest, FirstStartWritesThePlaceTheWindowIsGiven) {
  Start();
  form->move(123, 45);
  Settle();
  EXPECT_EQ(Ini("MainForm/Form_Top"), QString::number(form->y()));
  EXPECT_EQ(Ini("MainForm/Form_Left"), QString::number(form->x()));
  EXPECT_NE(form->pos(), QPoint(0, 0));
}

TEST_F(MainWindowTest, WindowCarriesTheDesktopEntrysIcon) {
  Start();
  QList<QSize> sizes = form->windowIcon().availableSizes();
  for (int size : {48, 64, 128, 256}) EXPECT_TRUE(sizes.contains(QSize(size, size))) << size;
}

TEST_F(MainWindowTest, EmptyUserListStartsWithoutAUser) {
  Start();
  EXPECT_EQ(form->StatusText(1), "Name : ");
  EXPECT_EQ(form->StatusText(2), "ID : 1");
  EXPECT_EQ(form->windowTitle(), "Kalbor --  --");
}

TEST_F(MainWindowTest, ClosingOnTheResultPageOpensThereNextTime) {
  Start();
  form->ResultPage().Result1Click();
  Restart();
  EXPECT_EQ(Ini("MainForm/Active_Sheet"), "5");
  EXPECT_EQ(form->PageMode(), pmResult);
  EXPECT_EQ(ui().Pagecontrol1->currentWidget(), &form->ResultPage());
  EXPECT_TRUE(ui().Result1->isChecked());
  EXPECT_EQ(form->StatusText(0), "Show Result");
}

TEST_F(MainWindowTest, MaleLogoIsRestoredWithItsCheckMark) {
  Start();
  EXPECT_TRUE(ui().FemaleLogo1->isChecked());
  form->MaleLogo1Click();
  Restart();
  EXPECT_EQ(Ini("MainForm/Logo"), "1");
  EXPECT_EQ(form->LogoChoice(), 1);
  EXPECT_TRUE(ui().MaleLogo1->isChecked());
  EXPECT_FALSE(ui().FemaleLogo1->isChecked());
  EXPECT_FALSE(ui().Image1->pixmap().isNull());
}

TEST_F(MainWindowTest, PagesPlaceTheFloatingPanels) {
  Start();
  form->FoodPage().EnterFoodClick();
  EXPECT_TRUE(ui().Panel1->isVisible());
  EXPECT_EQ(ui().Panel1->pos(), QPoint(402, 11));
  EXPECT_EQ(ui().DBGrid5->pos(), QPoint(84, 181));
  EXPECT_FALSE(ui().PopPanel->isVisible());
  form->MakeTablesPage().MakeTables1Click();
  EXPECT_FALSE(ui().Panel1->isVisible());
  EXPECT_FALSE(ui().DBGrid5->isVisible());
  EXPECT_EQ(ui().PopPanel->pos(), QPoint(445, 60));
  EXPECT_TRUE(ui().MakeTables1->isChecked());
  EXPECT_FALSE(ui().EnterFood->isChecked());
  EXPECT_EQ(form->StatusText(0), "Make New Tables");
}

TEST_F(MainWindowTest, F1OpensTheTopicOfThePageShown) {
  std::filesystem::copy_file(KALBOR_HELP_SOURCE, File("KALBOR.HLP"));
  Start();
  struct Case {
    std::function<void()> show;
    int context;
  };
  for (const Case& c : std::vector<Case>{
           {[&] { form->IntroPage().TitleClick(); }, 1200},
           {[&] { form->UserPage().UserDataClick(); }, 2000},
           {[&] { form->FoodPage().EnterFoodClick(); }, 3000},
           {[&] { form->FoodDataPage().FoodData1Click(); }, 4000},
           {[&] { form->ResultPage().Result1Click(); }, 6000},
           {[&] { form->MakeTablesPage().MakeTables1Click(); }, 5000},
           {[&] { form->WeightPage().EnterWeight1Click(); }, 3500},
           {[&] { form->ProgressPage().Progress1Click(); }, 6500}}) {
    c.show();
    messages.clear();
    QWidget* focus = form->focusWidget() ? form->focusWidget() : form.get();
    PressKey(focus, Qt::Key_F1);
    Settle();
    HelpViewer* viewer = ActiveHelpViewer();
    ASSERT_NE(viewer, nullptr);
    EXPECT_EQ(viewer->CurrentContext(), c.context) << form->StatusText(0).toStdString();
  }
  form->History1Click();
  EXPECT_EQ(ActiveHelpViewer()->CurrentContext(), 9500);
  // Opened from a window at the screen's lower right, the viewer is still
  // wholly on the screen.
  ActiveHelpViewer()->close();
  delete ActiveHelpViewer();
  const QRect screen = form->screen()->availableGeometry();
  form->move(screen.right() - form->width(), screen.bottom() - form->height());
  form->Contents1Click();
  Settle();
  ASSERT_NE(ActiveHelpViewer(), nullptr);
  // Larger than the window it is centred over, it ends in the screen's
  // corner.
  EXPECT_EQ(ActiveHelpViewer()->frameGeometry().bottomRight(), screen.bottomRight());
  form->About1Click();
  EXPECT_EQ(ActiveHelpViewer()->CurrentContext(), 9999);
}

TEST_F(MainWindowTest, NonsenseSettingsStartWithTheDefaults) {
  WriteIni("[MainForm]\nForm_Top=-99999999\nForm_Left=abc\nActive_Sheet=42\nLogo=77\n"
           "[User]\nUser_ID=999\nUser_Index=-5\nDate=not a date\n[Other]\nKeep=yes\n");
  Start();
  EXPECT_EQ(ui().Pagecontrol1->currentWidget(), &form->IntroPage());
  EXPECT_TRUE(ui().FemaleLogo1->isChecked()) << "the design check mark stays";
  EXPECT_EQ(form->CalendarDate(),
            DateToSerial(QDate::currentDate().year(), QDate::currentDate().month(),
                         QDate::currentDate().day()));
  EXPECT_TRUE(form->isVisible());
  form->close();
  EXPECT_EQ(Ini("MainForm/Active_Sheet"), "42") << "written back unchanged";
  EXPECT_EQ(Ini("Other/Keep"), "yes") << "other sections stay";
}

TEST_F(MainWindowTest, CountOrderIsRestoredOnTheUserPage) {
  WriteIni("[MainForm]\nActive_Sheet=2\n[User]\nUser_ID=1\nUser_Index=2\n");
  WriteUserList({});
  Start();
  EXPECT_EQ(users().UserSort->ItemIndex(), 2);
  EXPECT_EQ(form->UserSortOrder(), 2);
  EXPECT_EQ(dm->UserDbf.IndexName(), "USERCOUNT.NDX");
}

// The damage is named once; the user page then refuses new users, and the
// file is never written.
TEST_F(MainWindowTest, DamagedUserListIsReportedOnceAndLeftAlone) {
  std::vector<uint8_t> garbage(300, 0x41);
  test::WriteBytes(File("USERNAME.DBF"), garbage);
  form = std::make_unique<TForm1>(dir.path());
  dm = std::make_unique<TDM1>(*form);
  form->StartDataModule(*dm);
  form->show();
  Settle();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text, "USERNAME.DBF: Invalid DBF file.");
  EXPECT_TRUE(form->isVisible());
  form->UserPage().UserDataClick();
  form->UserPage().UserNewClick();
  users().Edit1->setText("Anna");
  form->UserPage().AddUserClick();
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[1].text,
            "The user list USERNAME.DBF could not be opened, so no user can be added.");
  form->close();
  EXPECT_EQ(test::ReadBytes(File("USERNAME.DBF")), garbage);
}

TEST_F(MainWindowTest, F1OnAHighlightedMenuItemOpensItsTopic) {
  std::filesystem::copy_file(KALBOR_HELP_SOURCE, File("KALBOR.HLP"));
  Start();
  QMenu* select = ui().Select1;
  select->popup(QPoint(0, 0));
  select->setActiveAction(ui().Result1);
  PressKey(select, Qt::Key_F1);
  Settle();
  ASSERT_NE(ActiveHelpViewer(), nullptr);
  EXPECT_EQ(ActiveHelpViewer()->CurrentContext(), 1100);
  select->hide();
  EXPECT_EQ(form->PageMode(), pmIntro) << "F1 does not choose the item";
}

TEST_F(MainWindowTest, AnErrorEscapingAHandlerIsShownAndTheProgramGoesOn) {
  // The weight page opens a damaged weight table: its error reaches the
  // error display, the file is left as it is, and the page is shown with
  // an empty chart.
  WriteIni("[MainForm]\nActive_Sheet=7\n");
  WriteUserList({{1, "Anna"}});
  WriteCatalogue({{1, true, 1, "Apple", 52, "Market"}});
  const std::vector<uint8_t> garbage(300, 0x41);
  test::WriteBytes(File("USEW0001.DBF"), garbage);
  Start();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text, "USEW0001.DBF: Invalid DBF file.");
  EXPECT_EQ(messages[0].icon, TMsgIcon::Error);
  EXPECT_EQ(ui().Pagecontrol1->currentWidget(), &form->WeightPage());
  EXPECT_EQ(form->StatusText(0), "Enter Weigth");
  for (QAbstractSeries* series : weight().Image2->chart()->series())
    EXPECT_EQ(static_cast<QXYSeries*>(series)->count(), 0);
  EXPECT_TRUE(form->WeightPage().NoWeightsShown());
  EXPECT_EQ(test::ReadBytes(File("USEW0001.DBF")), garbage);
  form->IntroPage().TitleClick();
  EXPECT_TRUE(form->isVisible());
}

// A walk steps the bar once per row; the bar follows within a thousandth,
// reaches its end, starts again past it, and goes back to 0 when told.
TEST_F(MainWindowTest, ProgressBarFollowsAWalkToItsEnd) {
  Start();
  QProgressBar* bar = form->findChild<QProgressBar*>();
  ASSERT_NE(bar, nullptr);
  TMainWindow& window = *form;
  window.SetProgressMax(36500);
  int moves = 0;
  QObject::connect(bar, &QProgressBar::valueChanged, [&] { ++moves; });
  for (int i = 1; i <= 36500; ++i) {
    window.StepProgress();
    ASSERT_LE(i - bar->value(), 36) << "at step " << i;
  }
  EXPECT_EQ(bar->value(), 36500);
  EXPECT_LE(moves, 1001);
  window.StepProgress();
  EXPECT_EQ(bar->value(), 0);
  window.SetProgressPosition(17);
  EXPECT_EQ(bar->value(), 17);
  window.SetProgressPosition(0);
  EXPECT_EQ(bar->value(), 0);
}

TEST(SingleInstanceTest, ASecondCopyOnlyAsksTheFirstToShowItself) {
  const QString title = "KalborTest" + QString::number(QCoreApplication::applicationPid());
  TSingleInstance first(title, "/home/a/.local/share/kalbor/");
  int shown = 0;
  ASSERT_TRUE(first.Listen([&] { ++shown; }));
  // A copy keeping its files elsewhere runs on its own.
  EXPECT_FALSE(TSingleInstance(title, "/opt/kalbor/").SignalRunningCopy());
  TSingleInstance second(title, "/home/a/.local/share/kalbor/");
  EXPECT_TRUE(second.SignalRunningCopy());
  for (int i = 0; i < 50 && shown == 0; ++i) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  EXPECT_EQ(shown, 1);
  TSingleInstance nobody("KalborNobody" + QString::number(QCoreApplication::applicationPid()));
  EXPECT_FALSE(nobody.SignalRunningCopy());
}

TEST(SingleInstanceTest, SecondProgramEndsWithoutTouchingAnyFile) {
  test::TempDir folder;
  std::string program = folder / "kalbor";
  std::filesystem::copy_file(KALBOR_PROGRAM, program);
  std::filesystem::permissions(program, std::filesystem::perms::owner_all);
  QProcess first;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_QPA_PLATFORM", "offscreen");
  first.setProcessEnvironment(env);
  first.start(QString::fromStdString(program), {});
  ASSERT_TRUE(first.waitForStarted(5000));
  // The first copy makes its files; then it is listening.
  for (int i = 0; i < 100 && !test::Exists(folder / "KALBOR.INI"); ++i) QThread::msleep(50);
  QThread::msleep(300);
  auto listing = [&] {
    std::vector<std::pair<std::string, uintmax_t>> files;
    for (auto& e : std::filesystem::directory_iterator(folder.path()))
      files.emplace_back(e.path().filename().string(), e.file_size());
    std::sort(files.begin(), files.end());
    return files;
  };
  auto before = listing();
  auto ini_before = test::ReadBytes(folder / "KALBOR.INI");
  QProcess second;
  second.setProcessEnvironment(env);
  second.start(QString::fromStdString(program), {});
  ASSERT_TRUE(second.waitForFinished(10000));
  EXPECT_EQ(second.exitCode(), 0);
  EXPECT_EQ(listing(), before);
  EXPECT_EQ(test::ReadBytes(folder / "KALBOR.INI"), ini_before);
  first.kill();
  first.waitForFinished(5000);
}

}  // namespace
}  // namespace kalbor
