// The directory panel: a tree of the whole file system with the file-pattern
// box under it, in the frame's left dock. Double-clicking a file asks the
// frame to open it; the tree's popup menu (EncMenu: Encrypt, Decrypt, CRC,
// Refresh) opens only when the frame allows it. The panel knows nothing of
// documents or ciphers: it reports paths, the frame acts on them.
//
// Path rule: the path of the selected item always ends with '/', files
// included ("/home/u/notes.txt/"); the selected file is that path without its
// last character. With nothing selected the path is "?", so the file is "".
#pragma once
#include <QStringList>
#include <QTimer>
#include <QWidget>

class QAction;
class QComboBox;
class QFileSystemModel;
class QMenu;
class QModelIndex;
class QTreeView;

class TDirPanel : public QWidget {
  Q_OBJECT

 public:
  explicit TDirPanel(QWidget* parent = nullptr);

  // The six entries of the pattern box, in order; the first is selected at
  // start-up.
  static const QStringList& DefaultFilters();
  // A mask as the user writes it ("*.txt;*.csv") to the tree's name filters:
  // one per pattern, "*.*" meaning every file (with or without a dot), and
  // letters matched without regard to case, as the masks always have been.
  static QStringList MaskToNameFilters(const QString& mask);

  QTreeView* DirTree1 = nullptr;
  QComboBox* FileFilter = nullptr;
  // Home, the root and the mounted volumes: choosing one shows it in the tree.
  QComboBox* Places = nullptr;
  QMenu* EncMenu = nullptr;
  QAction *Encrypt2 = nullptr, *Decrypt2 = nullptr, *CRC = nullptr, *Refresh = nullptr;

  // Selects folder (a trailing '/' is allowed), expands it and scrolls it
  // into view.
  void SetFolder(const QString& folder);
  // Selects a file or folder by its path (no trailing '/').
  void SelectPath(const QString& path);
  // The selected item's path with its trailing '/', or "?" when none.
  QString SelectedPath() const;
  // SelectedPath() without its last character.
  QString SelectedFile() const;
  // The mask the tree lists files by ("*.*" at start).
  QString Mask() const { return Mask_; }
  void SetMask(const QString& mask);
  // Whether a right click opens EncMenu (the settings switch).
  void SetEncMenuEnabled(bool on) { EncMenuEnabled_ = on; }
  bool EncMenuEnabled() const { return EncMenuEnabled_; }
  QFileSystemModel* Model() const { return Model_; }
  // Opens EncMenu as a right click at pos (viewport coordinates) would:
  // selects the item there and pops the menu up when it is enabled. Returns
  // whether the menu was shown.
  bool ShowEncMenuAt(const QPoint& pos);

 public slots:
  // Re-reads the tree from the disk, keeping the selection, the expanded
  // folders, the mask and what the view shows (the same item at its top).
  void RefreshClick();
  void DirTree1DblClick(const QModelIndex& index);
  void FileFilterDblClick();
  void FileFilterKeyPress();

 signals:
  // A file was double-clicked: the frame opens it as a document.
  void openFileRequested(const QString& file);

 protected:
  void resizeEvent(QResizeEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QFileSystemModel* makeModel();
  void setTreeModel();
  void DirPanelResize();
  void fillPlaces();
  void collectExpanded(const QModelIndex& parent, QStringList& out) const;
  void scrollToCurrent();
  // The item at the top of the view and how far its row is scrolled past
  // the edge, and putting it back there.
  void rememberTop();
  void restoreTop();

  QFileSystemModel* Model_ = nullptr;
  QString Mask_ = QStringLiteral("*.*");
  QString PendingScroll_;  // the item to keep in view while the tree loads
  QTimer PendingTimer_;
  // The item to keep at the top of the view while rows come and go (files
  // made by a command, a refresh loading): the user's scrolling stands.
  QString TopPath_;
  int TopOffset_ = 0;
  bool KeepTop_ = false;   // a refresh is loading: TopPath_ is put back as rows arrive
  bool TopSaved_ = false;   // TopPath_ was taken just before the rows changed
  bool topQueued_ = false;  // a restoreTop() is on its way
  bool EncMenuEnabled_ = false;
};
