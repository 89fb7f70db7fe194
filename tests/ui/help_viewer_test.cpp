// The help window, driven through the main window's entry points on the
// offscreen platform: topics by number, contents, links and history, the
// keyword index behind "SEARCH()", and files or topics that are not there.
#include "ui/help/help_viewer.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QTextBrowser>
#include <QUrl>

#include <cstdio>
#include <fstream>
#include <memory>
#include <string>

#include "test_util.h"

#ifndef KALBOR_HELP_SOURCE
#error "KALBOR_HELP_SOURCE must name resources/help/KALBOR.HLP"
#endif

namespace kalbor {
namespace {

using test::TempDir;

// The offscreen platform notes every raise() it cannot do; keep the output readable.
void QuietOffscreenNotes(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (message.startsWith("This plugin does not support")) return;
  fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
}

class QtEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(QuietOffscreenNotes);
    static int argc = 1;
    static char name[] = "help_viewer_test";
    static char* argv[] = {name, nullptr};
    app_ = std::make_unique<QApplication>(argc, argv);
  }
  void TearDown() override { app_.reset(); }

 private:
  std::unique_ptr<QApplication> app_;
};

const auto* const kQt = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

const QString kHelpFile = QStringLiteral(KALBOR_HELP_SOURCE);

void WriteText(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

class HelpViewerTest : public ::testing::Test {
 protected:
  void TearDown() override { delete ActiveHelpViewer(); }

  static QString PageText(HelpViewer* viewer) { return viewer->Browser()->toPlainText(); }
  static void Settle() { QCoreApplication::processEvents(); }
};

// --- topics, contents and links --------------------------------------------------

TEST_F(HelpViewerTest, HistoryTopicOpensWithItsTitle) {
  ShowHelpTopic(nullptr, kHelpFile, 9500);
  HelpViewer* viewer = ActiveHelpViewer();
  ASSERT_NE(viewer, nullptr);
  EXPECT_TRUE(viewer->isVisible());
  EXPECT_TRUE(viewer->isWindow());
  EXPECT_TRUE(viewer->FileLoaded()) << viewer->LoadError().toStdString();
  EXPECT_EQ(viewer->CurrentContext(), 9500);
  EXPECT_EQ(viewer->PageTitle(), "History");
  EXPECT_TRUE(PageText(viewer).startsWith("History"));
  EXPECT_TRUE(viewer->windowTitle().endsWith("History")) << viewer->windowTitle().toStdString();
}

TEST_F(HelpViewerTest, EveryPageTopicOfTheProgramOpens) {
  for (int context : {1100, 1200, 2000, 3000, 3500, 4000, 5000, 6000, 6500, 9500, 9999}) {
    ShowHelpTopic(nullptr, kHelpFile, context);
    EXPECT_EQ(ActiveHelpViewer()->CurrentContext(), context);
  }
  EXPECT_TRUE(PageText(ActiveHelpViewer()).contains("Kalbor V1.0"));
}

TEST_F(HelpViewerTest, ContentsShowTheContentsTopicAndListEveryTopic) {
  ShowHelpContents(nullptr, kHelpFile);
  HelpViewer* viewer = ActiveHelpViewer();
  ASSERT_NE(viewer, nullptr);
  EXPECT_EQ(viewer->CurrentContext(), 1000);
  EXPECT_FALSE(viewer->IndexShown());
  EXPECT_GE(viewer->ContentsList()->count(), 10);
  EXPECT_EQ(viewer->ContentsList()->item(0)->text(), "Contents");
}

TEST_F(HelpViewerTest, LinksLeadToTopicsAndBackAndForwardRetraceThem) {
  ShowHelpContents(nullptr, kHelpFile);
  HelpViewer* viewer = ActiveHelpViewer();
  emit viewer->Browser()->anchorClicked(QUrl("topic:2000"));
  EXPECT_EQ(viewer->CurrentContext(), 2000);
  emit viewer->Browser()->anchorClicked(QUrl("topic:8000"));
  EXPECT_EQ(viewer->CurrentContext(), 8000);
  EXPECT_TRUE(viewer->Back());
  EXPECT_EQ(viewer->CurrentContext(), 2000);
  EXPECT_TRUE(viewer->Back());
  EXPECT_EQ(viewer->CurrentContext(), 1000);
  EXPECT_FALSE(viewer->Back());
  EXPECT_TRUE(viewer->Forward());
  EXPECT_EQ(viewer->CurrentContext(), 2000);
  // A new step drops the steps ahead.
  emit viewer->Browser()->anchorClicked(QUrl("topic:9999"));
  EXPECT_FALSE(viewer->Forward());
  // Links of other kinds are ignored.
  emit viewer->Browser()->anchorClicked(QUrl("https://example.org/"));
  EXPECT_EQ(viewer->CurrentContext(), 9999);
}

TEST_F(HelpViewerTest, TheOneWindowIsReusedAndBelongsToTheCallersWindow) {
  auto main_window = std::make_unique<QWidget>();
  auto* child = new QWidget(main_window.get());
  ShowHelpTopic(child, kHelpFile, 2000);
  HelpViewer* first = ActiveHelpViewer();
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->parentWidget(), main_window.get());
  EXPECT_TRUE(first->isWindow());
  ShowHelpTopic(child, kHelpFile, 3000);
  RunHelpMacro(main_window.get(), kHelpFile, "SEARCH()");
  ShowHelpContents(nullptr, kHelpFile);
  EXPECT_EQ(ActiveHelpViewer(), first);
  // Closing hides the window; the next call shows the same one again.
  first->close();
  EXPECT_FALSE(first->isVisible());
  ShowHelpTopic(child, kHelpFile, 6000);
  EXPECT_EQ(ActiveHelpViewer(), first);
  EXPECT_TRUE(first->isVisible());
  // The window goes with its owner, and a fresh one is made afterwards.
  main_window.reset();
  EXPECT_EQ(ActiveHelpViewer(), nullptr);
  ShowHelpTopic(nullptr, kHelpFile, 6000);
  ASSERT_NE(ActiveHelpViewer(), nullptr);
  EXPECT_EQ(ActiveHelpViewer()->CurrentContext(), 6000);
}

// --- the keyword index ---------------------------------------------------------

TEST_F(HelpViewerTest, SearchMacroOpensIndexWithItsSearchBoxFocused) {
  RunHelpMacro(nullptr, kHelpFile, "SEARCH()");
  HelpViewer* viewer = ActiveHelpViewer();
  ASSERT_NE(viewer, nullptr);
  Settle();
  EXPECT_TRUE(viewer->isVisible());
  EXPECT_TRUE(viewer->IndexShown());
  EXPECT_EQ(viewer->focusWidget(), viewer->SearchBox());
  EXPECT_TRUE(viewer->SearchBox()->isVisible());
  EXPECT_GT(viewer->IndexList()->count(), 50);
}

TEST_F(HelpViewerTest, TypingNarrowsTheIndexAndEnterOpensTheFirstEntry) {
  RunHelpMacro(nullptr, kHelpFile, "search ( )");  // letter case and spaces do not matter
  HelpViewer* viewer = ActiveHelpViewer();
  ASSERT_TRUE(viewer->IndexShown());
  int all = viewer->IndexList()->count();
  viewer->SearchBox()->setText("HISTOR");
  EXPECT_LT(viewer->IndexList()->count(), all);
  ASSERT_GT(viewer->IndexList()->count(), 0);
  EXPECT_TRUE(viewer->IndexList()->item(0)->text().startsWith("History", Qt::CaseInsensitive));
  emit viewer->SearchBox()->returnPressed();
  EXPECT_EQ(viewer->CurrentContext(), 9500);
  viewer->SearchBox()->setText("no such words at all");
  EXPECT_EQ(viewer->IndexList()->count(), 0);
  emit viewer->SearchBox()->returnPressed();  // nothing to open: nothing changes
  EXPECT_EQ(viewer->CurrentContext(), 9500);
}

TEST_F(HelpViewerTest, KeywordOfSeveralTopicsNamesEachTopic) {
  TempDir dir;
  WriteText(dir / "KALBOR.HLP",
            "@help Test help\n"
            "@topic 1\n@title One\n@keywords shared\n"
            "@topic 2\n@title Two\n@keywords shared; single\n");
  RunHelpMacro(nullptr, QString::fromStdString(dir / "KALBOR.HLP"), "SEARCH()");
  HelpViewer* viewer = ActiveHelpViewer();
  viewer->SearchBox()->setText("s");
  ASSERT_EQ(viewer->IndexList()->count(), 3);
  EXPECT_EQ(viewer->IndexList()->item(0)->text(), QString::fromUtf8("shared \u2014 One"));
  EXPECT_EQ(viewer->IndexList()->item(1)->text(), QString::fromUtf8("shared \u2014 Two"));
  EXPECT_EQ(viewer->IndexList()->item(2)->text(), "single");
  emit viewer->IndexList()->itemActivated(viewer->IndexList()->item(1));
  EXPECT_EQ(viewer->CurrentContext(), 2);
}

// --- what is not there --------------------------------------------------------

TEST_F(HelpViewerTest, UnknownTopicShowsAClearMessage) {
  ShowHelpTopic(nullptr, kHelpFile, 4242);
  HelpViewer* viewer = ActiveHelpViewer();
  ASSERT_NE(viewer, nullptr);
  EXPECT_TRUE(viewer->isVisible());
  EXPECT_EQ(viewer->CurrentContext(), 0);
  EXPECT_EQ(viewer->PageTitle(), "Topic not found");
  EXPECT_TRUE(PageText(viewer).contains("The help file KALBOR.HLP has no topic number 4242."))
      << PageText(viewer).toStdString();
  // The message offers the way back to the contents.
  emit viewer->Browser()->anchorClicked(QUrl("topic:1000"));
  EXPECT_EQ(viewer->CurrentContext(), 1000);
}

TEST_F(HelpViewerTest, BackFromAMessageReturnsToTheTopicBeforeIt) {
  ShowHelpTopic(nullptr, kHelpFile, 2000);
  HelpViewer* viewer = ActiveHelpViewer();
  ShowHelpTopic(nullptr, kHelpFile, 77);
  EXPECT_EQ(viewer->CurrentContext(), 0);
  EXPECT_FALSE(viewer->Forward());
  EXPECT_TRUE(viewer->Back());
  EXPECT_EQ(viewer->CurrentContext(), 2000);
}

TEST_F(HelpViewerTest, MissingFileIsReportedInTheWindowByEveryEntryPoint) {
  TempDir dir;
  const QString missing = QString::fromStdString(dir / "KALBOR.HLP");
  ShowHelpTopic(nullptr, missing, 2000);
  HelpViewer* viewer = ActiveHelpViewer();
  ASSERT_NE(viewer, nullptr);
  EXPECT_TRUE(viewer->isVisible());
  EXPECT_FALSE(viewer->FileLoaded());
  EXPECT_EQ(viewer->CurrentContext(), 0);
  const QString expected = "The help file \"" + missing + "\" was not found.";
  EXPECT_EQ(viewer->LoadError(), expected);
  EXPECT_TRUE(PageText(viewer).contains(expected)) << PageText(viewer).toStdString();

  RunHelpMacro(nullptr, missing, "SEARCH()");
  EXPECT_TRUE(PageText(viewer).contains(expected));
  EXPECT_EQ(viewer->IndexList()->count(), 0);
  ShowHelpContents(nullptr, missing);
  EXPECT_TRUE(PageText(viewer).contains(expected));
  EXPECT_FALSE(viewer->Back());
  EXPECT_FALSE(viewer->Forward());
  emit viewer->Browser()->anchorClicked(QUrl("topic:2000"));
  EXPECT_EQ(viewer->CurrentContext(), 0);

  // Once the file is there, the same window shows it.
  QFile::copy(kHelpFile, missing);
  ShowHelpTopic(nullptr, missing, 2000);
  EXPECT_EQ(ActiveHelpViewer(), viewer);
  EXPECT_EQ(viewer->CurrentContext(), 2000);
}

TEST_F(HelpViewerTest, FaultyFileIsReportedWithTheLineAtFault) {
  TempDir dir;
  WriteText(dir / "KALBOR.HLP", "@help Test\n@topic 1\n@title One\nsee [[5]]\n");
  ShowHelpContents(nullptr, QString::fromStdString(dir / "KALBOR.HLP"));
  HelpViewer* viewer = ActiveHelpViewer();
  EXPECT_FALSE(viewer->FileLoaded());
  EXPECT_EQ(viewer->LoadError(), "KALBOR.HLP, line 4: link to topic 5, which the file does not have.");
  EXPECT_TRUE(PageText(viewer).contains(viewer->LoadError()));
}

TEST_F(HelpViewerTest, ChangedFileIsReadAgain) {
  TempDir dir;
  const std::string path = dir / "KALBOR.HLP";
  WriteText(path, "@help Test\n@topic 1\n@title Old title\n");
  ShowHelpTopic(nullptr, QString::fromStdString(path), 1);
  EXPECT_EQ(ActiveHelpViewer()->PageTitle(), "Old title");
  WriteText(path, "@help Test\n@topic 1\n@title A new and longer title\n");
  ShowHelpTopic(nullptr, QString::fromStdString(path), 1);
  EXPECT_EQ(ActiveHelpViewer()->PageTitle(), "A new and longer title");
}

TEST_F(HelpViewerTest, UnknownMacroIsReported) {
  RunHelpMacro(nullptr, kHelpFile, "JUMP(12)");
  HelpViewer* viewer = ActiveHelpViewer();
  EXPECT_EQ(viewer->PageTitle(), "Unknown help command");
  EXPECT_TRUE(PageText(viewer).contains("The help command \"JUMP(12)\" is not known."));
}

TEST_F(HelpViewerTest, BareNameIsLookedForInTheProgramFolderWithoutLetterCase) {
  const QString folder = QCoreApplication::applicationDirPath();
  EXPECT_EQ(HelpFilePath("KALBOR.HLP"), QDir(folder).filePath("KALBOR.HLP"));
  EXPECT_EQ(HelpFilePath("/x/KALBOR.HLP"), "/x/KALBOR.HLP");
  // A copy under a lower-case name of its own, so that no real help file
  // beside the test program is touched.
  const QString copy = QDir(folder).filePath("kalbor-viewer-test.hlp");
  QFile::remove(copy);
  ASSERT_TRUE(QFile::copy(kHelpFile, copy));
  ShowHelpTopic(nullptr, "KALBOR-VIEWER-TEST.HLP", 5000);
  EXPECT_EQ(ActiveHelpViewer()->CurrentContext(), 5000);
  QFile::remove(copy);
}

}  // namespace
}  // namespace kalbor
