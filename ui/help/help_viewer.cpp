#include "ui/help/help_viewer.h"

#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QSplitter>
#include <QTabWidget>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>
#include <map>
#include <string>

#include "data/program_folder.h"

namespace kalbor {

namespace {

constexpr int kContextRole = Qt::UserRole;
const char kTopicScheme[] = "topic";

const char kPageStyle[] =
    "h2 { color: #1d4e89; margin-bottom: 6px; }"
    "h3 { color: #1d4e89; margin-top: 12px; margin-bottom: 2px; }"
    "p { margin-top: 4px; margin-bottom: 4px; }"
    "a { color: #1d4e89; }";

QString FromUtf8(const std::string& s) { return QString::fromStdString(s); }

QString Escaped(const QString& s) { return s.toHtmlEscaped(); }

QPointer<HelpViewer>& TheViewer() {
  static QPointer<HelpViewer> viewer;
  return viewer;
}

HelpViewer* ViewerFor(QWidget* parent) {
  QPointer<HelpViewer>& viewer = TheViewer();
  if (!viewer) viewer = new HelpViewer(parent ? parent->window() : nullptr);
  return viewer;
}

// The first showing centres the viewer over the window that opened it,
// wholly on that window's screen (a window manager may otherwise put part of
// it below the screen's edge).
void PlaceOverParent(HelpViewer* viewer) {
  QWidget* parent = viewer->parentWidget();
  QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen();
  if (!screen) return;
  const QRect room = screen->availableGeometry();
  // The viewer's frame is taken to be as wide as its parent's.
  QMargins border;
  if (parent) {
    const QRect outer = parent->frameGeometry(), inner = parent->geometry();
    border = QMargins(inner.left() - outer.left(), inner.top() - outer.top(),
                      outer.right() - inner.right(), outer.bottom() - inner.bottom());
  }
  QRect frame(QPoint(), (viewer->size().grownBy(border)).boundedTo(room.size()));
  frame.moveCenter(parent ? parent->frameGeometry().center() : room.center());
  frame.moveLeft(std::clamp(frame.left(), room.left(), room.right() - frame.width() + 1));
  frame.moveTop(std::clamp(frame.top(), room.top(), room.bottom() - frame.height() + 1));
  viewer->resize(frame.size().shrunkBy(border));
  viewer->move(frame.topLeft());
}

void Present(HelpViewer* viewer) {
  if (!viewer->isVisible() && !viewer->property("placed").toBool()) {
    PlaceOverParent(viewer);
    viewer->setProperty("placed", true);
  }
  if (viewer->isMinimized()) viewer->showNormal();
  viewer->show();
  viewer->raise();
  viewer->activateWindow();
}

}  // namespace

HelpViewer::HelpViewer(QWidget* parent) : QWidget(parent, Qt::Window) {
  setAttribute(Qt::WA_QuitOnClose, false);
  setObjectName("HelpViewer");
  setWindowTitle(tr("Kalbor Help"));
  resize(760, 540);

  auto* contents_button = new QPushButton(tr("&Contents"), this);
  auto* index_button = new QPushButton(tr("&Index"), this);
  back_ = new QPushButton(tr("< &Back"), this);
  forward_ = new QPushButton(tr("&Forward >"), this);
  back_->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Left));
  forward_->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Right));
  back_->setToolTip(tr("Back (Alt+Left)"));
  forward_->setToolTip(tr("Forward (Alt+Right)"));
  for (QPushButton* b : {contents_button, index_button, back_, forward_}) b->setAutoDefault(false);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(contents_button);
  buttons->addWidget(index_button);
  buttons->addSpacing(12);
  buttons->addWidget(back_);
  buttons->addWidget(forward_);
  buttons->addStretch(1);

  tabs_ = new QTabWidget(this);
  contents_list_ = new QListWidget(tabs_);
  contents_list_->setObjectName("HelpContents");
  tabs_->addTab(contents_list_, tr("Contents"));

  auto* index_page = new QWidget(tabs_);
  auto* index_layout = new QVBoxLayout(index_page);
  index_layout->setContentsMargins(4, 4, 4, 4);
  auto* search_label = new QLabel(tr("&Type the first letters of a word:"), index_page);
  search_ = new QLineEdit(index_page);
  search_->setObjectName("HelpSearch");
  search_->setClearButtonEnabled(true);
  search_label->setBuddy(search_);
  index_list_ = new QListWidget(index_page);
  index_list_->setObjectName("HelpIndex");
  index_layout->addWidget(search_label);
  index_layout->addWidget(search_);
  index_layout->addWidget(index_list_, 1);
  tabs_->addTab(index_page, tr("Index"));

  browser_ = new QTextBrowser(this);
  browser_->setObjectName("HelpPage");
  browser_->setOpenLinks(false);
  browser_->document()->setDefaultStyleSheet(kPageStyle);
  browser_->document()->setDocumentMargin(10);

  auto* splitter = new QSplitter(this);
  splitter->addWidget(tabs_);
  splitter->addWidget(browser_);
  splitter->setStretchFactor(0, 0);
  splitter->setStretchFactor(1, 1);
  splitter->setSizes({230, 530});
  splitter->setChildrenCollapsible(false);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(buttons);
  layout->addWidget(splitter, 1);

  connect(contents_button, &QPushButton::clicked, this, [this] { ShowContents(); });
  connect(index_button, &QPushButton::clicked, this, [this] { ShowIndex(true); });
  connect(back_, &QPushButton::clicked, this, [this] { Back(); });
  connect(forward_, &QPushButton::clicked, this, [this] { Forward(); });
  connect(contents_list_, &QListWidget::itemActivated, this,
          [this](QListWidgetItem* item) { Navigate(item->data(kContextRole).toInt()); });
  connect(contents_list_, &QListWidget::itemClicked, this,
          [this](QListWidgetItem* item) { Navigate(item->data(kContextRole).toInt()); });
  connect(index_list_, &QListWidget::itemActivated, this, &HelpViewer::OpenIndexItem);
  connect(index_list_, &QListWidget::itemClicked, this, &HelpViewer::OpenIndexItem);
  connect(search_, &QLineEdit::textChanged, this, &HelpViewer::FillIndex);
  connect(search_, &QLineEdit::returnPressed, this,
          [this] { OpenIndexItem(index_list_->currentItem()); });
  connect(browser_, &QTextBrowser::anchorClicked, this, [this](const QUrl& url) {
    if (url.scheme() == QLatin1String(kTopicScheme)) {
      bool ok = false;
      int context = url.path().toInt(&ok);
      if (ok) Navigate(context);
    }
  });
  search_->installEventFilter(this);
  UpdateButtons();
}

bool HelpViewer::eventFilter(QObject* watched, QEvent* event) {
  // Up, Down, Page Up and Page Down in the search box move through the index.
  if (watched == search_ && event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    switch (key->key()) {
      case Qt::Key_Up:
      case Qt::Key_Down:
      case Qt::Key_PageUp:
      case Qt::Key_PageDown:
        QApplication::sendEvent(index_list_, event);
        return true;
      default:
        break;
    }
  }
  return QWidget::eventFilter(watched, event);
}

bool HelpViewer::SetFile(const QString& file_path) {
  QString path = HelpFilePath(file_path);
  QString resolved = QString::fromStdString(ResolveHelpPath(QFile::encodeName(path).toStdString()));
  QFileInfo info(resolved);
  if (path == file_path_ && file_ && info.exists() && info.lastModified() == file_time_ &&
      info.size() == file_size_)
    return true;

  file_path_ = path;
  file_time_ = info.lastModified();
  file_size_ = info.exists() ? info.size() : -1;
  file_.reset();
  load_error_.clear();
  history_.clear();
  history_pos_ = -1;
  current_context_ = 0;

  HelpLoadResult result = HelpFile::Load(QFile::encodeName(path).toStdString());
  if (result.ok()) {
    file_ = std::move(result.file);
  } else {
    load_error_ = FromUtf8(result.error.Describe());
  }
  FillLists();
  UpdateButtons();
  return file_.has_value();
}

void HelpViewer::FillLists() {
  contents_list_->clear();
  if (file_) {
    setWindowTitle(WindowTitleBase());
    for (const HelpTopic& topic : file_->topics()) {
      auto* item = new QListWidgetItem(FromUtf8(topic.title), contents_list_);
      item->setData(kContextRole, topic.context);
      item->setToolTip(tr("Topic %1").arg(topic.context));
    }
  } else {
    setWindowTitle(tr("Kalbor Help"));
  }
  tabs_->setEnabled(file_.has_value());
  QSignalBlocker block(search_);
  search_->clear();
  FillIndex(QString());
}

void HelpViewer::FillIndex(const QString& query) {
  index_list_->clear();
  if (!file_) return;
  // Keywords shared by several topics name their topic beside them.
  std::map<QString, int> uses;
  for (const HelpIndexEntry& entry : file_->Index()) ++uses[FromUtf8(entry.text).toLower()];
  for (const HelpIndexEntry& entry : file_->Search(query.toStdString())) {
    QString text = FromUtf8(entry.text);
    if (uses[text.toLower()] > 1) text += QString::fromUtf8(" \u2014 ") + FromUtf8(entry.topic_title);
    auto* item = new QListWidgetItem(text, index_list_);
    item->setData(kContextRole, entry.context);
  }
  if (index_list_->count() > 0) index_list_->setCurrentRow(0);
}

void HelpViewer::OpenIndexItem(QListWidgetItem* item) {
  if (item) Navigate(item->data(kContextRole).toInt());
}

QString HelpViewer::WindowTitleBase() const {
  return file_ ? FromUtf8(file_->title()) : tr("Kalbor Help");
}

void HelpViewer::ShowPage(const QString& title, const QString& html, int context) {
  page_title_ = title;
  current_context_ = context;
  browser_->setHtml(html);
  setWindowTitle(title.isEmpty() ? WindowTitleBase() : WindowTitleBase() + " - " + title);
  if (context) {
    for (int row = 0; row < contents_list_->count(); ++row) {
      if (contents_list_->item(row)->data(kContextRole).toInt() == context) {
        QSignalBlocker block(contents_list_);
        contents_list_->setCurrentRow(row);
        break;
      }
    }
  }
  UpdateButtons();
}

void HelpViewer::ShowMessage(const QString& title, const QString& text) {
  QString html = "<h2>" + Escaped(title) + "</h2><p>" + Escaped(text) + "</p>";
  if (file_)
    html += "<p><a href=\"topic:" + QString::number(file_->contents_context()) + "\">" +
            Escaped(tr("Show the contents")) + "</a></p>";
  ShowPage(title, html, 0);
}

void HelpViewer::ShowContents() {
  tabs_->setCurrentIndex(0);
  if (!file_) {
    ShowMessage(tr("Help is not available"), load_error_);
    return;
  }
  Navigate(file_->contents_context());
}

void HelpViewer::ShowTopic(int context) {
  if (!file_) {
    ShowMessage(tr("Help is not available"), load_error_);
    return;
  }
  if (!file_->Find(context)) {
    ShowMessage(tr("Topic not found"),
                tr("The help file %1 has no topic number %2.")
                    .arg(QFileInfo(file_path_).fileName())
                    .arg(context));
    return;
  }
  Navigate(context);
}

void HelpViewer::Navigate(int context) {
  if (!file_) return;
  const HelpTopic* topic = file_->Find(context);
  if (!topic) {
    ShowTopic(context);  // shows the "not found" page
    return;
  }
  if (history_pos_ < 0 || history_[history_pos_] != context) {
    history_.resize(history_pos_ + 1);  // a new step drops the forward steps
    history_.push_back(context);
    history_pos_ = static_cast<int>(history_.size()) - 1;
  }
  ShowRecorded();
}

void HelpViewer::ShowRecorded() {
  const HelpTopic* topic = file_ ? file_->Find(history_[history_pos_]) : nullptr;
  if (topic) ShowPage(FromUtf8(topic->title), FromUtf8(file_->TopicHtml(*topic)), topic->context);
}

// A message page is not recorded: Back from it returns to the topic it
// covered, Forward is not offered.
bool HelpViewer::Back() {
  if (!file_ || history_pos_ < 0) return false;
  if (current_context_ != 0) {
    if (history_pos_ == 0) return false;
    --history_pos_;
  }
  ShowRecorded();
  return true;
}

bool HelpViewer::Forward() {
  if (!file_ || current_context_ == 0 || history_pos_ + 1 >= static_cast<int>(history_.size()))
    return false;
  ++history_pos_;
  ShowRecorded();
  return true;
}

void HelpViewer::UpdateButtons() {
  bool have = file_.has_value() && history_pos_ >= 0;
  back_->setEnabled(have && (current_context_ == 0 || history_pos_ > 0));
  forward_->setEnabled(have && current_context_ != 0 &&
                       history_pos_ + 1 < static_cast<int>(history_.size()));
}

void HelpViewer::ShowIndex(bool focus_search) {
  tabs_->setCurrentIndex(1);
  if (!file_) {
    ShowMessage(tr("Help is not available"), load_error_);
    return;
  }
  if (current_context_ == 0 && page_title_.isEmpty()) Navigate(file_->contents_context());
  if (focus_search) {
    search_->setFocus(Qt::OtherFocusReason);
    search_->selectAll();
  }
}

bool HelpViewer::IndexShown() const { return tabs_->currentIndex() == 1; }

bool HelpViewer::RunMacro(const QString& macro) {
  QString command = macro;
  command.remove(' ');
  command = command.toUpper();
  if (command == "SEARCH()") {
    ShowIndex(true);
    return true;
  }
  if (command == "CONTENTS()") {
    ShowContents();
    return true;
  }
  ShowMessage(tr("Unknown help command"), tr("The help command \"%1\" is not known.").arg(macro));
  return false;
}

QString HelpFilePath(const QString& file_path) {
  if (file_path.isEmpty() || QDir::isAbsolutePath(file_path)) return file_path;
  return QDir(QString::fromStdString(ProgramFolders().shipped)).filePath(file_path);
}

HelpViewer* ActiveHelpViewer() { return TheViewer(); }

void ShowHelpContents(QWidget* parent, const QString& file_path) {
  HelpViewer* viewer = ViewerFor(parent);
  viewer->SetFile(file_path);
  viewer->ShowContents();
  Present(viewer);
}

void ShowHelpTopic(QWidget* parent, const QString& file_path, int context) {
  HelpViewer* viewer = ViewerFor(parent);
  viewer->SetFile(file_path);
  viewer->ShowTopic(context);
  Present(viewer);
}

void RunHelpMacro(QWidget* parent, const QString& file_path, const QString& macro) {
  HelpViewer* viewer = ViewerFor(parent);
  viewer->SetFile(file_path);
  // Show the window first so that the search box can take the focus.
  Present(viewer);
  viewer->RunMacro(macro);
}

}  // namespace kalbor
