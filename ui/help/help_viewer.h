// The help viewer: one non-modal window that shows KALBOR.HLP. The left side
// holds the contents (every topic, in file order) and the keyword index with
// its search box; the right side shows one topic, whose links lead to other
// topics. Problems (a missing or faulty file, an unknown topic or command)
// are shown as a page in the viewer itself.
//
// The main window uses the three entry points at the bottom; they create the
// viewer on first use and reuse it afterwards.
#pragma once

#include <QDateTime>
#include <QString>
#include <QWidget>

#include <optional>
#include <vector>

#include "ui/help/help_file.h"

class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QTabWidget;
class QTextBrowser;

namespace kalbor {

class HelpViewer : public QWidget {
  Q_OBJECT

 public:
  explicit HelpViewer(QWidget* parent = nullptr);

  // Reads the file unless the same file, unchanged on disk, is loaded
  // already. A bare name is looked for in the program folder. Reading again
  // clears the back/forward history. Returns whether the file is usable.
  bool SetFile(const QString& file_path);

  void ShowContents();
  // Shows topic `context`, or a "topic not found" page.
  void ShowTopic(int context);
  // Brings the keyword index to the front; with `focus_search` the search
  // box gets the keyboard focus with its text selected.
  void ShowIndex(bool focus_search);
  // Runs a help command: "SEARCH()" opens the index ready for typing,
  // "CONTENTS()" the contents. Letter case and spaces do not matter. Others
  // are reported in the viewer. Returns whether the command was known.
  bool RunMacro(const QString& macro);

  bool Back();
  bool Forward();

  // What the viewer shows.
  QString FilePath() const { return file_path_; }
  bool FileLoaded() const { return file_.has_value(); }
  QString LoadError() const { return load_error_; }  // empty when loaded
  int CurrentContext() const { return current_context_; }  // 0 for a message page
  QString PageTitle() const { return page_title_; }
  bool IndexShown() const;

  QTextBrowser* Browser() const { return browser_; }
  QLineEdit* SearchBox() const { return search_; }
  QListWidget* IndexList() const { return index_list_; }
  QListWidget* ContentsList() const { return contents_list_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void FillLists();
  void FillIndex(const QString& query);
  void ShowPage(const QString& title, const QString& html, int context);
  void ShowMessage(const QString& title, const QString& text);
  void Navigate(int context);  // shows a topic and records it in the history
  void ShowRecorded();         // shows the topic at history_pos_
  void OpenIndexItem(QListWidgetItem* item);
  void UpdateButtons();
  QString WindowTitleBase() const;

  QTabWidget* tabs_ = nullptr;
  QListWidget* contents_list_ = nullptr;
  QLineEdit* search_ = nullptr;
  QListWidget* index_list_ = nullptr;
  QTextBrowser* browser_ = nullptr;
  QPushButton* back_ = nullptr;
  QPushButton* forward_ = nullptr;

  QString file_path_;
  QDateTime file_time_;
  qint64 file_size_ = -1;
  std::optional<HelpFile> file_;
  QString load_error_;
  int current_context_ = 0;
  QString page_title_;
  std::vector<int> history_;
  int history_pos_ = -1;
};

// The full path of the help file: a relative name is taken in the folder of
// the files the program ships (ProgramFolders(): the folder of the running
// program, or <prefix>/share/kalbor for an installed one).
QString HelpFilePath(const QString& file_path);

// The help window, if one is open (or hidden but not destroyed).
HelpViewer* ActiveHelpViewer();

// Entry points for the main window. Each shows the one help window (created
// as a separate window owned by `parent`'s window on first use, reused
// afterwards), loads `file_path` and raises the window.
void ShowHelpContents(QWidget* parent, const QString& file_path);
void ShowHelpTopic(QWidget* parent, const QString& file_path, int context);
void RunHelpMacro(QWidget* parent, const QString& file_path, const QString& macro);

}  // namespace kalbor
