// Reading PDF files back in tests through poppler-utils: the text as
// pdftotext gives it and a page as pdftoppm draws it.
#pragma once
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QString>
#include <QStringList>

namespace pdftools {

inline bool available() {
  return !QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty() &&
         !QStandardPaths::findExecutable(QStringLiteral("pdftoppm")).isEmpty();
}

// The text of a PDF as pdftotext gives it (UTF-8), each page ended by a form
// feed, with pdftotext's `options` (such as -layout); a null string when it
// cannot be read.
inline QString text(const QString& pdf, const QStringList& options = {}) {
  QProcess run;
  run.start(QStringLiteral("pdftotext"),
            options + QStringList{QStringLiteral("-enc"), QStringLiteral("UTF-8"), pdf, QStringLiteral("-")});
  if (!run.waitForFinished(-1) || run.exitStatus() != QProcess::NormalExit || run.exitCode() != 0) return QString();
  return QString::fromUtf8(run.readAllStandardOutput());
}

// The words of a text, split at white space.
inline QStringList words(const QString& text) {
  return text.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
}

// Page `page` (from 1) drawn at `dpi`; a null image when it cannot be drawn.
inline QImage page(const QString& pdf, int page = 1, int dpi = 100) {
  const QString prefix = pdf + QStringLiteral("-page");
  QProcess run;
  run.start(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QString::number(dpi), QStringLiteral("-f"),
                                         QString::number(page), QStringLiteral("-l"), QString::number(page),
                                         QStringLiteral("-png"), QStringLiteral("-singlefile"), pdf, prefix});
  if (!run.waitForFinished(-1) || run.exitStatus() != QProcess::NormalExit || run.exitCode() != 0) return {};
  QImage image(prefix + QStringLiteral(".png"));
  QFile::remove(prefix + QStringLiteral(".png"));
  return image.convertToFormat(QImage::Format_RGB32);
}

}  // namespace pdftools
