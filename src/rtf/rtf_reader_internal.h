// The reader's intermediate document model, shared by the reader and its
// tests: what a parsed RTF file holds before it becomes a QTextDocument.
#pragma once
#include <QColor>
#include <QHash>
#include <QList>
#include <QString>

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "core/document/text_encoding.h"

class QTextDocument;

namespace tolvan::rtf {

// Paragraph properties; indents in twips.
struct ParaProps {
  uint8_t align = 0;  // 0 left, 1 right, 2 centre, 3 justify
  int li = 0, ri = 0, fi = 0;
  int ls = 0;  // \ls list number (0: none)
  bool bullet = false;
};

// A run's character format: font table number, size in half points, flags
// (bold 1, italic 2, underline 4, strike-out 8), colour table indexes, and
// whether the run is TSCII converted from Unicode Tamil (shown in the TSCII
// display font).
struct RunFormat {
  int font = -1;
  int halfPoints = 24;
  uint8_t flags = 0;
  int fg = 0, bg = 0;
  bool tscii = false;
};

struct Run {
  int fmt;          // index into Model::formats
  qsizetype start;  // offset into Model::text
};

struct Paragraph {
  size_t runBegin = 0, runEnd = 0;
  qsizetype textBegin = 0, textEnd = 0;
  ParaProps props;
  int endFmt = 0;  // format in effect at the paragraph mark
};

struct Model {
  QString text;
  std::vector<Run> runs;
  std::vector<Paragraph> paras;
  std::vector<RunFormat> formats;
  QHash<int, QString> fonts;
  QList<QColor> colors;  // invalid QColor: "automatic"

  int formatIndex(const RunFormat& f);

 private:
  std::map<std::tuple<int, int, uint8_t, int, int, bool>, int> formatIds;
};

inline double twipsToPixels(int twips) { return twips / 15.0; }  // 96 dpi
inline int pixelsToTwips(double px) { return static_cast<int>(px * 15.0 + (px < 0 ? -0.5 : 0.5)); }

// Parses RTF bytes into model. Refused: not RTF at all, or too large; the
// message is a sentence. Damaged: the file breaks off (truncated, unbalanced
// braces, nesting too deep, \bin past the end); model holds what was read
// before the damage and the message says what is wrong, as a clause
// ("it ends inside 2 unclosed groups ...").
// unicode: the text is for a Unicode document (see readRtf).
// shortcut: body text is taken straight from the bytes where it can be; off,
// every character goes through the tokens (only to check the shortcut).
// pause: when its call is set, it is called once with the model so far, at
// the first point between paragraphs where the text holds atChars characters
// or more (the model then holds only finished paragraphs; the call may
// change characters of the text, not its size).
enum class ParseResult { Ok, Damaged, Refused };
struct PauseHook {
  qsizetype atChars = 0;
  std::function<void(Model&)> call;
};
ParseResult parseRtf(std::string_view data, Model& model, std::string& message, bool unicode = false,
                     bool shortcut = true, const PauseHook& pause = {});
// Replaces doc's content with model; with from given, adds model's
// paragraphs from that one on after doc's last paragraph instead (doc holds
// the ones before, built from the same model).
void buildDocument(const Model& model, QTextDocument* doc, size_t from = 0);
// readRtf with the size of the part shown first and of the smallest file
// read in two steps given.
bool readRtfShowing(const QByteArray& bytes, QTextDocument* doc, QString* error, QString* damage,
                    TextEncoding encoding, char16_t softHyphen, const std::function<void()>& show,
                    qsizetype firstChars, qsizetype fromBytes);

}  // namespace tolvan::rtf
