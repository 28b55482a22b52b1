// The directory panel: file-system tree, places box and pattern box.
#include "windows/panels/dir_panel.h"

#include <QAction>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QResizeEvent>
#include <QScrollBar>
#include <QStorageInfo>
#include <QTreeView>

namespace {

// A folder path without its trailing '/', the root excepted.
QString withoutSlash(QString p) {
  while (p.size() > 1 && p.endsWith(QLatin1Char('/'))) p.chop(1);
  return p;
}

// Folders of the system that hold no user files; mounts there are not
// offered as places.
bool isSystemMount(const QString& root) {
  for (const char* prefix : {"/proc", "/sys", "/dev", "/run", "/boot", "/snap", "/var/lib"})
    if (root == QLatin1String(prefix) || root.startsWith(QLatin1String(prefix) + QLatin1Char('/')))
      return !root.startsWith(QLatin1String("/run/media/"));
  return false;
}

}  // namespace

const QStringList& TDirPanel::DefaultFilters() {
  static const QStringList list{QStringLiteral("*.*"),
                                QStringLiteral("*.txt;*.csv;*.log;*.ini"),
                                QStringLiteral("*.htm;*.html;*.asp"),
                                QStringLiteral("*.js;*.vbs;*.pl"),
                                QStringLiteral("*.rtf;*.doc"),
                                QStringLiteral("*.c;*.java;*.pas")};
  return list;
}

QStringList TDirPanel::MaskToNameFilters(const QString& mask) {
  QStringList out;
  for (QString p : mask.split(QLatin1Char(';'))) {
    p = p.trimmed();
    if (p.isEmpty()) continue;
    // "*.*" has always meant every file; here many names have no dot.
    if (p == QLatin1String("*.*")) p = QStringLiteral("*");
    QString ci;
    for (QChar c : p) {
      if (c.isLetter() && c.toLower() != c.toUpper())
        ci += QLatin1Char('[') + c.toLower() + c.toUpper() + QLatin1Char(']');
      else
        ci += c;
    }
    out << ci;
  }
  if (out.isEmpty()) out << QStringLiteral("*");
  return out;
}

TDirPanel::TDirPanel(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("DirPanelContent"));
  Places = new QComboBox(this);
  Places->setObjectName(QStringLiteral("Places"));
  Places->setToolTip(QStringLiteral("Home, the file system and the mounted volumes"));
  DirTree1 = new QTreeView(this);
  DirTree1->setObjectName(QStringLiteral("DirTree1"));
  DirTree1->setFrameShape(QFrame::NoFrame);
  DirTree1->setHeaderHidden(true);
  DirTree1->setSelectionMode(QAbstractItemView::SingleSelection);
  DirTree1->setEditTriggers(QAbstractItemView::NoEditTriggers);
  DirTree1->setUniformRowHeights(true);
  DirTree1->setContextMenuPolicy(Qt::CustomContextMenu);
  Model_ = makeModel();
  setTreeModel();

  FileFilter = new QComboBox(this);
  FileFilter->setObjectName(QStringLiteral("FileFilter"));
  FileFilter->setEditable(true);
  // Enter applies the mask; it never adds to the list (a double-click does).
  FileFilter->setInsertPolicy(QComboBox::NoInsert);
  FileFilter->addItems(DefaultFilters());
  FileFilter->setCurrentIndex(0);
  FileFilter->lineEdit()->installEventFilter(this);
  connect(FileFilter->lineEdit(), &QLineEdit::returnPressed, this, &TDirPanel::FileFilterKeyPress);

  EncMenu = new QMenu(this);
  EncMenu->setObjectName(QStringLiteral("EncMenu"));
  Encrypt2 = EncMenu->addAction(QStringLiteral("Encrypt"));
  Encrypt2->setObjectName(QStringLiteral("Encrypt2"));
  Decrypt2 = EncMenu->addAction(QStringLiteral("Decrypt"));
  Decrypt2->setObjectName(QStringLiteral("Decrypt2"));
  CRC = EncMenu->addAction(QStringLiteral("CRC"));
  CRC->setObjectName(QStringLiteral("CRC"));
  EncMenu->addSeparator();
  Refresh = EncMenu->addAction(QStringLiteral("Refresh"));
  Refresh->setObjectName(QStringLiteral("Refresh"));
  connect(Refresh, &QAction::triggered, this, &TDirPanel::RefreshClick);

  connect(DirTree1, &QTreeView::doubleClicked, this, &TDirPanel::DirTree1DblClick);
  connect(DirTree1, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& pos) { ShowEncMenuAt(pos); });
  fillPlaces();
  connect(Places, &QComboBox::activated, this, [this](int i) {
    const QString p = Places->itemData(i).toString();
    Places->setCurrentIndex(-1);
    if (!p.isEmpty()) SetFolder(p);
  });
  // The user's own scrolling or clicking ends the keeping in view.
  PendingTimer_.setSingleShot(true);
  PendingTimer_.setInterval(3000);
  connect(&PendingTimer_, &QTimer::timeout, this, [this] {
    PendingScroll_.clear();
    KeepTop_ = false;
  });
  DirTree1->viewport()->installEventFilter(this);
  DirTree1->installEventFilter(this);
  DirTree1->verticalScrollBar()->installEventFilter(this);
  DirPanelResize();
}

QFileSystemModel* TDirPanel::makeModel() {
  auto* m = new QFileSystemModel(this);
  m->setFilter(QDir::AllDirs | QDir::Files | QDir::NoDotAndDotDot | QDir::Drives);
  // Files that do not match the mask are hidden, not greyed.
  m->setNameFilterDisables(false);
  m->setNameFilters(MaskToNameFilters(Mask_));
  m->setRootPath(QStringLiteral("/"));
  // The tree fills in and sorts itself as folders load, and rows above the
  // selection move it; it is kept in view until the user takes over or the
  // loading is done.
  // Otherwise (after a refresh, or when a command's files appear) the item at
  // the top of the view stays there, so rows do not move under the mouse.
  auto before = [this, m] {
    if (m != Model_ || !PendingScroll_.isEmpty() || KeepTop_ || TopSaved_) return;
    rememberTop();
    TopSaved_ = true;
  };
  auto keepInView = [this, m] {
    if (m != Model_ || topQueued_) return;
    // After the view itself has taken the change in (it hears of it later
    // than this panel, and may lay its rows out afresh).
    topQueued_ = true;
    QTimer::singleShot(0, this, [this] {
      topQueued_ = false;
      // The top item as it was before this change (a refresh: before it).
      if (!PendingScroll_.isEmpty())
        scrollToCurrent();
      else if (KeepTop_ || TopSaved_)
        restoreTop();
      TopSaved_ = false;
    });
  };
  connect(m, &QAbstractItemModel::layoutAboutToBeChanged, this, before);
  connect(m, &QAbstractItemModel::rowsAboutToBeInserted, this, before);
  connect(m, &QAbstractItemModel::rowsAboutToBeRemoved, this, before);
  connect(m, &QFileSystemModel::directoryLoaded, this, [this, m, keepInView] {
    // A slow disk (or a busy machine) may take longer to load the folders
    // than the keeping lasts: it lasts until they have been quiet a while.
    if (m == Model_ && (!PendingScroll_.isEmpty() || KeepTop_)) PendingTimer_.start();
    keepInView();
  });
  connect(m, &QAbstractItemModel::layoutChanged, this, keepInView);
  connect(m, &QAbstractItemModel::rowsInserted, this, keepInView);
  connect(m, &QAbstractItemModel::rowsRemoved, this, keepInView);
  return m;
}

void TDirPanel::setTreeModel() {
  DirTree1->setModel(Model_);
  for (int c = 1; c < Model_->columnCount(); ++c) DirTree1->setColumnHidden(c, true);
  // Whole names, with a horizontal scroll bar in a narrow panel.
  DirTree1->header()->setStretchLastSection(false);
  DirTree1->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
}

void TDirPanel::fillPlaces() {
  Places->clear();
  const QString home = QDir::homePath();
  Places->addItem(QStringLiteral("Home (%1)").arg(home), home);
  Places->addItem(QStringLiteral("File system (/)"), QStringLiteral("/"));
  for (const QStorageInfo& v : QStorageInfo::mountedVolumes()) {
    const QString root = v.rootPath();
    if (!v.isValid() || !v.isReady() || root == QLatin1String("/") || isSystemMount(root)) continue;
    const QString name = v.displayName();
    Places->addItem(name == root ? root : QStringLiteral("%1 (%2)").arg(name, root), root);
  }
  Places->setPlaceholderText(QStringLiteral("Go to..."));
  Places->setCurrentIndex(-1);
}

// Pattern box at the bottom, 2 pixels narrower than the panel; places box at
// the top; the tree fills what is between.
void TDirPanel::DirPanelResize() {
  const int w = width();
  const int fh = FileFilter->sizeHint().height();
  const int ph = Places->sizeHint().height();
  FileFilter->setGeometry(0, height() - fh, qMax(0, w - 2), fh);
  Places->setGeometry(0, 0, qMax(0, w - 2), ph);
  DirTree1->setGeometry(0, ph, w, qMax(0, FileFilter->y() - ph));
}

void TDirPanel::resizeEvent(QResizeEvent* e) {
  QWidget::resizeEvent(e);
  DirPanelResize();
}

bool TDirPanel::eventFilter(QObject* watched, QEvent* event) {
  // The menu key opens the popup on the selected item, not on whatever lies
  // under the middle of the tree.
  if (watched == DirTree1 && event->type() == QEvent::ContextMenu &&
      static_cast<QContextMenuEvent*>(event)->reason() == QContextMenuEvent::Keyboard) {
    const QModelIndex idx = DirTree1->currentIndex();
    if (idx.isValid())
      ShowEncMenuAt(DirTree1->visualRect(idx).center());
    else if (EncMenuEnabled_)
      EncMenu->popup(DirTree1->viewport()->mapToGlobal(QPoint(0, 0)));
    return true;
  }
  // The tree gets its real size only once the window is on screen (without
  // a window manager, after the folder was loaded and scrolled to): the
  // item being brought into view is placed again for that size.
  if (!PendingScroll_.isEmpty() && watched == DirTree1->viewport() && event->type() == QEvent::Resize)
    QTimer::singleShot(0, this, [this] {
      if (!PendingScroll_.isEmpty()) scrollToCurrent();
    });
  if (!PendingScroll_.isEmpty() && watched == DirTree1 && event->type() == QEvent::Show)
    PendingTimer_.start();
  if (watched != FileFilter->lineEdit() &&
      (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::Wheel ||
       (watched == DirTree1 && event->type() == QEvent::KeyPress))) {
    PendingScroll_.clear();
    KeepTop_ = false;
  }
  if (watched == FileFilter->lineEdit() && event->type() == QEvent::MouseButtonDblClick) {
    FileFilterDblClick();
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

void TDirPanel::SetMask(const QString& mask) {
  Mask_ = mask;
  Model_->setNameFilters(MaskToNameFilters(mask));
}

void TDirPanel::FileFilterKeyPress() { SetMask(FileFilter->currentText()); }

void TDirPanel::FileFilterDblClick() {
  const QString text = FileFilter->currentText();
  FileFilter->addItem(text);  // duplicates allowed; the list is not saved
  FileFilter->setCurrentIndex(FileFilter->count() - 1);
  SetMask(text);
}

void TDirPanel::rememberTop() {
  const QModelIndex top = DirTree1->indexAt(QPoint(0, 0));
  if (!top.isValid()) return;
  TopPath_ = Model_->filePath(top);
  TopOffset_ = DirTree1->visualRect(top).top();
}

void TDirPanel::restoreTop() {
  if (TopPath_.isEmpty()) return;
  const QModelIndex idx = Model_->index(TopPath_);
  if (!idx.isValid()) return;
  // Shown only when every folder above it is open.
  for (QModelIndex p = idx.parent(); p.isValid(); p = p.parent())
    if (!DirTree1->isExpanded(p)) return;
  // Where the rows are not laid out yet, the view lays them out first.
  if (DirTree1->visualRect(DirTree1->indexAt(QPoint(0, 0))) == QRect()) DirTree1->doItemsLayout();
  const QModelIndex top = DirTree1->indexAt(QPoint(0, 0));
  if (top == idx && DirTree1->visualRect(idx).top() == TopOffset_) return;
  QScrollBar* bar = DirTree1->verticalScrollBar();
  const int h = DirTree1->horizontalScrollBar()->value();
  DirTree1->scrollTo(idx, QAbstractItemView::PositionAtTop);
  if (DirTree1->verticalScrollMode() == QAbstractItemView::ScrollPerPixel)
    bar->setValue(bar->value() - TopOffset_);
  DirTree1->horizontalScrollBar()->setValue(h);
}

void TDirPanel::SelectPath(const QString& path) {
  const QModelIndex idx = Model_->index(withoutSlash(path));
  if (!idx.isValid()) return;
  KeepTop_ = TopSaved_ = false;
  for (QModelIndex p = idx.parent(); p.isValid(); p = p.parent()) DirTree1->expand(p);
  DirTree1->setCurrentIndex(idx);
  DirTree1->scrollTo(idx, QAbstractItemView::PositionAtCenter);
  DirTree1->horizontalScrollBar()->setValue(0);
  PendingScroll_ = withoutSlash(path);
  PendingTimer_.start();
}

void TDirPanel::SetFolder(const QString& folder) {
  const QString path = withoutSlash(QFileInfo(folder).absoluteFilePath());
  SelectPath(path);
  const QModelIndex idx = Model_->index(path);
  if (idx.isValid()) DirTree1->expand(idx);
}

void TDirPanel::scrollToCurrent() {
  const QModelIndex idx = DirTree1->currentIndex();
  if (!idx.isValid()) return;
  // Moved only when it has drifted out of the upper part of the view, so the
  // folder's content shows below it and the tree does not jump needlessly.
  const QRect r = DirTree1->visualRect(idx);
  if (r.top() < 0 || r.bottom() > DirTree1->viewport()->height() * 2 / 3) {
    DirTree1->scrollTo(idx, QAbstractItemView::PositionAtCenter);
    DirTree1->horizontalScrollBar()->setValue(0);  // names start at the left
  }
}

QString TDirPanel::SelectedPath() const {
  const QModelIndex idx = DirTree1->currentIndex();
  if (!idx.isValid() || !DirTree1->selectionModel()->isSelected(idx)) return QStringLiteral("?");
  return Model_->filePath(idx) + QLatin1Char('/');
}

QString TDirPanel::SelectedFile() const { return SelectedPath().chopped(1); }

void TDirPanel::DirTree1DblClick(const QModelIndex& index) {
  if (!index.isValid()) return;
  const QString name = SelectedFile();
  // A folder only expands or collapses (the tree does that itself).
  const QFileInfo fi(name);
  if (!name.isEmpty() && fi.exists() && !fi.isDir()) emit openFileRequested(name);
}

bool TDirPanel::ShowEncMenuAt(const QPoint& pos) {
  if (!EncMenuEnabled_) return false;
  const QModelIndex idx = DirTree1->indexAt(pos);
  // The commands act on the item clicked, as in every file manager.
  if (idx.isValid()) DirTree1->setCurrentIndex(idx);
  EncMenu->popup(DirTree1->viewport()->mapToGlobal(pos));
  return true;
}

void TDirPanel::collectExpanded(const QModelIndex& parent, QStringList& out) const {
  const int rows = Model_->rowCount(parent);
  for (int r = 0; r < rows; ++r) {
    const QModelIndex i = Model_->index(r, 0, parent);
    if (!DirTree1->isExpanded(i)) continue;
    out << Model_->filePath(i);
    collectExpanded(i, out);
  }
}

void TDirPanel::RefreshClick() {
  const QModelIndex cur = DirTree1->currentIndex();
  const QString current = cur.isValid() ? Model_->filePath(cur) : QString();
  const bool selected = cur.isValid() && DirTree1->selectionModel()->isSelected(cur);
  QStringList expanded;
  collectExpanded(QModelIndex(), expanded);
  // The view is put back as it was: the same item at its top (unless the
  // tree is still bringing a chosen item into view).
  const bool keepTop = PendingScroll_.isEmpty();
  if (keepTop) rememberTop();
  // The new model's rows, as they come, must not take the place of that.
  KeepTop_ = keepTop;
  const int h = DirTree1->horizontalScrollBar()->value();
  QFileSystemModel* old = Model_;
  QItemSelectionModel* oldSel = DirTree1->selectionModel();
  Model_ = makeModel();
  setTreeModel();
  delete oldSel;
  old->deleteLater();
  for (const QString& p : expanded) {
    const QModelIndex i = Model_->index(p);
    if (i.isValid()) DirTree1->expand(i);
  }
  if (!current.isEmpty()) {
    // A file that went away leaves its folder selected.
    QString p = current;
    while (!p.isEmpty() && !QFileInfo::exists(p)) p = QFileInfo(p).path();
    if (!keepTop) {
      SelectPath(p);
      return;
    }
    const QModelIndex idx = Model_->index(withoutSlash(p));
    if (idx.isValid()) {
      // Selected without scrolling to it: the view stays where it was.
      const bool autoScroll = DirTree1->hasAutoScroll();
      DirTree1->setAutoScroll(false);
      DirTree1->selectionModel()->setCurrentIndex(
          idx, selected ? QItemSelectionModel::ClearAndSelect : QItemSelectionModel::NoUpdate);
      DirTree1->setAutoScroll(autoScroll);
    }
  }
  PendingTimer_.start();
  restoreTop();
  DirTree1->horizontalScrollBar()->setValue(h);
}
