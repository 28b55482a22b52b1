// Counting what a conversion could not carry over, and listing it in a
// message box: shared by the Unicode commands and the whole-document
// conversion.
#pragma once
#include <QHash>
#include <QString>
#include <QStringList>

// Counts remarks, keeping the order in which they first came.
class TConvertTally {
 public:
  void add(const QString& what, qint64 times = 1) {
    auto it = count_.find(what);
    if (it == count_.end()) {
      count_.insert(what, times);
      order_ << what;
    } else {
      *it += times;
    }
    total_ += times;
  }
  // One line per remark, "(n times)" after those made more than once.
  void appendTo(QStringList* out) const {
    if (!out) return;
    for (const QString& w : order_) {
      const qint64 n = count_.value(w);
      *out << (n > 1 ? QStringLiteral("%1 (%2 times)").arg(w).arg(n) : w);
    }
  }
  QStringList lines() const {
    QStringList out;
    appendTo(&out);
    return out;
  }
  bool empty() const { return order_.isEmpty(); }
  qsizetype distinct() const { return order_.size(); }
  qint64 total() const { return total_; }

 private:
  QHash<QString, qint64> count_;
  QStringList order_;
  qint64 total_ = 0;
};

// A list for a message box: the first lines, and how many more there are.
inline QString convertListForBox(const QStringList& lines) {
  constexpr qsizetype kShown = 15;
  QStringList shown = lines.mid(0, kShown);
  if (lines.size() > kShown) shown << QStringLiteral("... and %1 more").arg(lines.size() - kShown);
  return shown.join(u'\n');
}
