// Helpers shared by the RTF tests: a GUI application on the offscreen
// platform, the document's text as bytes, small file helpers, and readable
// names for table-driven cases.
#pragma once
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFragment>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <ostream>
#include <string>
#include <string_view>

namespace rtftest {

// A table case's name in test listings (ctest -N, --gtest_list_tests): its
// description with every run of other characters than letters and digits
// made one '_', as GoogleTest allows nothing else. Stable from build to build.
inline std::string caseName(std::string_view what) {
  std::string out;
  for (char c : what) {
    const bool word = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    if (word)
      out += c;
    else if (!out.empty() && out.back() != '_')
      out += '_';
  }
  while (!out.empty() && out.back() == '_') out.pop_back();
  if (out.size() > 80) out.resize(80);
  return out.empty() ? std::string("unnamed") : out;
}

// Name generator for INSTANTIATE_TEST_SUITE_P over cases with a `what` member.
struct ByWhat {
  template <class Case>
  std::string operator()(const ::testing::TestParamInfo<Case>& info) const {
    return caseName(info.param.what);
  }
};

inline void ensureApp() {
  if (QCoreApplication::instance()) return;
  qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "rtf_test";
  static char* argv[] = {name, nullptr};
  new QGuiApplication(argc, argv);  // lives for the whole test program
}

// The document's text: characters up to U+00FF as bytes, others as "<U+XXXX>",
// a line break as "\n", paragraphs joined with "\n".
inline std::string text(const QTextDocument& doc) {
  std::string out;
  for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
    if (b != doc.begin()) out += '\n';
    for (QChar c : b.text()) {
      if (c.unicode() == 0x2028) {
        out += '\n';
      } else if (c.unicode() < 0x100) {
        out += static_cast<char>(c.unicode());
      } else {
        char buf[16];
        std::snprintf(buf, sizeof buf, "<U+%04X>", c.unicode());
        out += buf;
      }
    }
  }
  return out;
}

inline std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

inline std::string fixture(const std::string& name) {
  return readFile(std::string(TOLVAN_SOURCE_DIR) + "/tests/rtf/fixtures/" + name);
}

inline QByteArray bytes(const std::string& s) { return QByteArray(s.data(), static_cast<qsizetype>(s.size())); }

// The format of the character at position pos (0-based) of the document.
inline QTextCharFormat formatAt(const QTextDocument& doc, int pos) {
  for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
    for (auto it = b.begin(); !it.atEnd(); ++it) {
      const QTextFragment f = it.fragment();
      if (pos >= f.position() && pos < f.position() + f.length()) return f.charFormat();
    }
  return {};
}

// Position of the first occurrence of s in the document (-1 if absent).
inline int find(const QTextDocument& doc, const QString& s) {
  const QString all = doc.toRawText();
  return static_cast<int>(all.indexOf(s));
}

// The first block whose whole text is s (invalid if none).
inline QTextBlock blockWithText(const QTextDocument& doc, const QString& s) {
  for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
    if (b.text() == s) return b;
  return {};
}

inline QString family(const QTextCharFormat& f) {
  const QStringList l = f.fontFamilies().toStringList();
  return l.isEmpty() ? QString() : l.first();
}

}  // namespace rtftest
