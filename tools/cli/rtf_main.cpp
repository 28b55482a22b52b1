// tolvan-rtf: the editor's RTF reader and writer from the command line, the
// program behind `tolvan-cli rtf` (which hands its arguments over to it).
//   --to text [FILE.rtf]   the document's text, one byte per character
//   --to rtf [FILE.txt]    an RTF document holding the text's lines
// FILE left out or "-" is standard input. It is a program of its own because
// it needs Qt (QTextDocument): the other commands of tolvan-cli start
// without loading Qt at all.
#include <QGuiApplication>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include "cli.h"
#include "rtf/rtf.h"

namespace cli {

namespace {

// QTextDocument needs a GUI application for its fonts; the command line never
// shows a window, so the offscreen platform does.
void ensureGuiApp() {
  if (QCoreApplication::instance()) return;
  // Qt's start-up chatter (no XDG_RUNTIME_DIR and the like) is not our output.
  qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& msg) {
    if (type == QtCriticalMsg || type == QtFatalMsg) std::fprintf(stderr, "%s\n", qPrintable(msg));
  });
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "tolvan-cli";
  static char* argv[] = {name, nullptr};
  // Lives until the process exits; destroying it during static destruction
  // would race Qt's own clean-up.
  new QGuiApplication(argc, argv);
}

void appendUtf8(std::string& out, char32_t c) {
  if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// The document's text: each character up to U+00FF as its byte, anything
// beyond as UTF-8; every paragraph and line break ends with "\n".
std::string documentText(const QTextDocument& doc) {
  std::string out;
  out.reserve(static_cast<size_t>(doc.characterCount()));
  for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
    const QString t = b.text();
    for (qsizetype i = 0; i < t.size(); ++i) {
      char32_t c = t[i].unicode();
      if (c == 0x2028) {
        out += '\n';
      } else if (c < 0x100) {
        out += static_cast<char>(c);
      } else {
        if (QChar::isHighSurrogate(c) && i + 1 < t.size() && t[i + 1].isLowSurrogate())
          c = QChar::surrogateToUcs4(static_cast<char16_t>(c), t[++i].unicode());
        appendUtf8(out, c);
      }
    }
    // A document always has one block; an empty document has no text at all.
    if (!(b == doc.begin() && !b.next().isValid() && t.isEmpty())) out += '\n';
  }
  return out;
}

// Each byte one character, each line (CR LF, LF or CR) one paragraph. The
// text is TSCII, so the document's font is the TSCII display font.
void textToDocument(const std::string& bytes, QTextDocument& doc) {
  QFont f(QString::fromLatin1(tolvan::rtf::kTsciiFontFamily));
  f.setPointSize(12);
  doc.setDefaultFont(f);
  QTextCursor cur(&doc);
  cur.beginEditBlock();
  QString line;
  bool first = true;
  auto flush = [&] {
    if (!first) cur.insertBlock();
    cur.insertText(line);
    line.clear();
    first = false;
  };
  for (size_t i = 0; i < bytes.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(bytes[i]);
    if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
      flush();
    } else {
      line.append(QChar(c));
    }
  }
  if (!line.isEmpty() || first) flush();
  cur.endEditBlock();
}

const char kUsageLine[] = "usage: tolvan-cli rtf --to text [FILE.rtf] | rtf --to rtf [FILE.txt]";

// Text turned into an RTF document is held in a QTextDocument, several
// bytes per character; this keeps that within reason.
constexpr std::uint64_t kMaxTextBytes = std::uint64_t(64) << 20;

void writeAll(const char* data, size_t n) { writeOut(std::string_view(data, n)); }

int rtfCommand(const Args& args) {
  std::string to, file;
  bool haveFile = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--to") {
      if (i + 1 >= args.size()) return usage(std::string("rtf: --to needs text or rtf; ") + kUsageLine);
      to = args[++i];
    } else if (a.rfind("--to=", 0) == 0) {
      to = a.substr(5);
    } else if (a.size() > 1 && a[0] == '-' && a != "-") {
      return usage("rtf: unknown option '" + a + "'; " + kUsageLine);
    } else if (!haveFile) {
      file = a;
      haveFile = true;
    } else {
      return usage(std::string("rtf: only one input file may be given; ") + kUsageLine);
    }
  }
  if (to != "text" && to != "rtf") return usage(kUsageLine);
  const bool toText = to == "text";
  // Read (and refused if it must be) before Qt starts.
  const std::string bytes =
      toText ? readWhole(file, static_cast<std::uint64_t>(tolvan::rtf::kMaxInputBytes), "an RTF document")
             : readWhole(file, kMaxTextBytes, "a text turned into RTF");
  ensureGuiApp();
  QTextDocument doc;
  if (toText) {
    QString error;
    if (!tolvan::rtf::readRtf(QByteArray::fromRawData(bytes.data(), static_cast<qsizetype>(bytes.size())),
                              &doc, &error))
      return fail((haveFile && file != "-" ? file : std::string("standard input")) + ": " + error.toStdString());
    const std::string out = documentText(doc);
    writeAll(out.data(), out.size());
  } else {
    textToDocument(bytes, doc);
    const QByteArray out = tolvan::rtf::writeRtf(&doc);
    writeAll(out.constData(), static_cast<size_t>(out.size()));
  }
  return 0;
}

}  // namespace
}  // namespace cli

int main(int argc, char** argv) { return cli::runCommand(cli::rtfCommand, cli::Args(argv + 1, argv + argc)); }
