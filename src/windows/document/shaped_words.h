// The glyphs of the paragraph being typed into, kept stretch by stretch
// between its layouts.
//
// Qt's text layout shapes a paragraph in runs of one script and one format,
// which in Tamil is usually the whole paragraph: every key had the text
// shaper go over all of it again, and Tamil shaping costs several times what
// a TSCII font's one glyph per byte does. While the paragraph is laid out,
// its runs are cut into stretches of about kStretch characters, each after a
// space (Qt shapes each run on its own, with no text around it, so words
// shape the same in a stretch as in the whole run). The stretches before and
// after the one an edit touched have the same text as the last time, and
// get the glyphs they had instead of being shaped again.
#pragma once
#include <QString>
#include <vector>

class QTextLayout;

class TShapedWords {
 public:
  // About this many characters a stretch: fewer would have Qt place and
  // draw many short runs, each with its own font and format look-ups.
  static constexpr int kStretch = 96;

  // Between the layout's beginLayout and its first line: cuts its runs
  // into stretches and gives those kept from last time their glyphs.
  void reuse(QTextLayout* layout) const;
  // After the last line, before endLayout: keeps the layout's stretches and
  // their glyphs (in place of what was kept before). False when the
  // paragraph is one that must be laid out again in Qt's whole runs (and
  // will be from now on: reuse leaves its runs as they are).
  bool keep(QTextLayout* layout);
  // Lets go of everything kept (a new default font, say, shapes it anew).
  void clear();

  // Whether the layout can have its runs cut: text with no input-method
  // text and no formats of its own (the paragraph's come from the document).
  static bool suits(const QTextLayout* layout);

 private:
  struct Run {
    int position = 0, length = 0;
    int format = -1;        // the character format's index in the document
    unsigned analysis = 0;  // script, bidi level and flags
    bool reusable = false;  // plain text, shaped
    int ascent = 0, descent = 0, leading = 0, width = 0;  // Qt's fixed-point values
    int glyphs = 0;
    size_t data = 0;      // where its glyph arrays start in data_
    size_t clusters = 0;  // where its characters' clusters start in clusters_
  };
  bool same(const Run& old, const QString& text, int position, int length, int format,
            unsigned analysis) const;
  QString text_;
  bool design_ = false;
  bool whole_ = false;  // the paragraph is laid out in Qt's own runs
  std::vector<Run> runs_;
  std::vector<char> data_;
  std::vector<unsigned short> clusters_;
};
