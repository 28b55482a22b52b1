#include "windows/document/shaped_words.h"

#include <QTextLayout>
// Qt has no public way to hand a layout glyphs it did not shape itself, so
// this reaches into its text engine. Checked against Qt 6.4: a layout's runs
// (items) are made by beginLayout and shaped one by one when a line first
// needs them, each run with no text around it; a shaped run has its glyphs
// at glyph_data_offset in the engine's arrays, num_glyphs of them, its
// width, ascent, descent and leading, and its characters' clusters counted
// from its first glyph. Check these again before building with another Qt.
#include <QtGui/private/qtextengine_p.h>

#include <algorithm>
#include <cstring>

static_assert(QT_VERSION >= QT_VERSION_CHECK(6, 4, 0) && QT_VERSION < QT_VERSION_CHECK(6, 9, 0),
              "shaped words are handed to Qt's private text engine; check its layout for this Qt");

namespace {

unsigned analysisKey(const QScriptAnalysis& a) {
  return unsigned(a.script) | unsigned(a.bidiLevel) << 8 | unsigned(a.flags) << 16;
}

// Runs that are cut and reused: plain text shaped left to right (not tabs,
// objects or capitalised text, whose shaping Qt does otherwise).
bool plainRun(const QScriptItem& si) {
  return si.analysis.flags == QScriptAnalysis::None && si.analysis.bidiLevel % 2 == 0;
}

// The glyph arrays of n glyphs from g, one after the other, into out.
void copyOut(const QGlyphLayout& g, int n, char* out) {
  auto put = [&out](const void* from, size_t bytes) {
    std::memcpy(out, from, bytes);
    out += bytes;
  };
  put(g.offsets, n * sizeof(QFixedPoint));
  put(g.glyphs, n * sizeof(glyph_t));
  put(g.advances, n * sizeof(QFixed));
  put(g.justifications, n * sizeof(QGlyphJustification));
  put(g.attributes, n * sizeof(QGlyphAttributes));
}

void copyIn(const char* in, int n, const QGlyphLayout& g) {
  auto take = [&in](void* to, size_t bytes) {
    std::memcpy(to, in, bytes);
    in += bytes;
  };
  take(g.offsets, n * sizeof(QFixedPoint));
  take(g.glyphs, n * sizeof(glyph_t));
  take(g.advances, n * sizeof(QFixed));
  take(g.justifications, n * sizeof(QGlyphJustification));
  take(g.attributes, n * sizeof(QGlyphAttributes));
}

}  // namespace

bool TShapedWords::suits(const QTextLayout* layout) {
  return layout->preeditAreaText().isEmpty() && layout->formats().isEmpty();
}

void TShapedWords::clear() {
  whole_ = false;
  text_.clear();
  runs_.clear();
  data_.clear();
  clusters_.clear();
}

bool TShapedWords::same(const Run& old, const QString& text, int position, int length, int format,
                        unsigned analysis) const {
  return old.length == length && old.analysis == analysis && old.format == format &&
         std::memcmp(text_.constData() + old.position, text.constData() + position,
                     size_t(length) * sizeof(QChar)) == 0;
}

void TShapedWords::reuse(QTextLayout* layout) const {
  QTextEngine* e = layout->engine();
  if (whole_ || !e->layoutData || e->layoutData->items.isEmpty() || !suits(layout)) return;
  // Where lines may break is found from Qt's own runs, before they are cut
  // (some scripts' rules look along a whole run).
  e->attributes();
  const QString& text = e->layoutData->string;
  // Where the text first differs from last time: typing goes on there, so
  // the stretch holding it is cut into words as well, and the next key
  // shapes one word again rather than the stretch.
  int hot = -1;
  if (!runs_.empty()) {
    const qsizetype common = qMin(text.size(), text_.size());
    hot = int(std::mismatch(text.constBegin(), text.constBegin() + common, text_.constBegin()).first -
              text.constBegin());
  }
  QScriptItemArray& items = e->layoutData->items;
  QScriptItemArray cut;
  cut.reserve(items.size() + text.size() / kStretch + 32);
  // A run may start at k: after the row of spaces before it (word spacing
  // goes to a row once), at a character that starts a letter of its own. A
  // vowel sign or other mark after a space is shaped with the space (alone
  // it would be drawn on a dotted circle), and so is a joiner.
  auto cuttable = [&text](int k) {
    const QChar c = text[k];
    return text[k - 1] == u' ' && c != u' ' && !c.isMark() && !c.isLowSurrogate() &&
           c.category() != QChar::Other_Format;
  };
  // Appends si's text from..to as runs: one, or one per word.
  auto append = [&](const QScriptItem& si, int from, int to, bool words) {
    for (int k = from + 1; words && k < to; ++k) {
      if (cuttable(k)) {
        QScriptItem word = si;
        word.position = from;
        cut.append(word);
        from = k;
      }
    }
    QScriptItem run = si;
    run.position = from;
    cut.append(run);
  };
  for (qsizetype i = 0; i < items.size(); ++i) {
    const QScriptItem& si = items.at(i);
    const int end = i + 1 < items.size() ? items.at(i + 1).position : int(text.size());
    if (!plainRun(si) || si.num_glyphs) {
      cut.append(si);
      continue;
    }
    for (int start = si.position; start < end;) {
      // At the first word that starts after the stretch's first kStretch
      // characters; no short last one.
      int k = start + kStretch;
      while (k < end && !cuttable(k)) ++k;
      if (end - k < kStretch / 2) k = end;
      append(si, start, k, hot >= start && hot < k);
      start = k;
    }
  }
  items = cut;
  if (runs_.empty()) return;

  const int n = int(items.size()), m = int(runs_.size());
  const int length = int(text.size()), oldLength = int(text_.size());
  const bool design = e->option.useDesignMetrics();
  if (design != design_) return;
  auto give = [&](QScriptItem& si, const Run& w) {
    if (!w.reusable || !plainRun(si) || si.num_glyphs) return true;
    if (!e->ensureSpace(qMax(w.glyphs, w.length))) return false;
    si.glyph_data_offset = e->layoutData->used;
    copyIn(data_.data() + w.data, w.glyphs, e->availableGlyphs(&si));
    std::memcpy(e->logClusters(&si), clusters_.data() + w.clusters, size_t(w.length) * sizeof(unsigned short));
    e->layoutData->used += w.glyphs;
    si.num_glyphs = static_cast<unsigned short>(w.glyphs);
    si.ascent = QFixed::fromFixed(w.ascent);
    si.descent = QFixed::fromFixed(w.descent);
    si.leading = QFixed::fromFixed(w.leading);
    si.width = QFixed::fromFixed(w.width);
    return true;
  };
  // The stretches before the edit, in the same places...
  int i = 0, j = 0;
  for (; i < n && j < m; ++i, ++j) {
    QScriptItem& si = items[i];
    const Run& w = runs_[size_t(j)];
    const int len = i + 1 < n ? items[i + 1].position - si.position : length - si.position;
    if (si.position != w.position || !same(w, text, si.position, len, e->formatIndex(&si), analysisKey(si.analysis)))
      break;
    if (!give(si, w)) return;
  }
  // ...and those after it, as far from the end as they were.
  for (int a = n - 1, b = m - 1; a >= i && b >= j; --a, --b) {
    QScriptItem& si = items[a];
    const Run& w = runs_[size_t(b)];
    const int len = a + 1 < n ? items[a + 1].position - si.position : length - si.position;
    if (length - si.position != oldLength - w.position ||
        !same(w, text, si.position, len, e->formatIndex(&si), analysisKey(si.analysis)))
      break;
    if (!give(si, w)) return;
  }
}

bool TShapedWords::keep(QTextLayout* layout) {
  const bool whole = whole_;
  clear();
  whole_ = whole;
  const QTextEngine* e = layout->engine();
  if (whole_ || !e->layoutData || !suits(layout)) return true;
  // A run with letters from a fallback font takes that font's height and
  // depth for all its lines: cut into stretches, the lines of stretches
  // without such letters would stand closer than Qt's. Such a paragraph is
  // laid out again in whole runs, and stays so while it is typed into.
  for (const QScriptItem& si : e->layoutData->items) {
    if (!plainRun(si) || !si.num_glyphs) continue;
    const QGlyphLayout g = e->shapedGlyphs(&si);
    for (int k = 0; k < g.numGlyphs; ++k) {
      if (g.glyphs[k] >> 24) {
        clear();
        whole_ = true;
        return false;
      }
    }
  }
  text_ = e->layoutData->string;
  design_ = e->option.useDesignMetrics();
  const QScriptItemArray& items = e->layoutData->items;
  runs_.reserve(size_t(items.size()));
  for (qsizetype i = 0; i < items.size(); ++i) {
    const QScriptItem& si = items.at(i);
    Run w;
    w.position = si.position;
    w.length = e->length(int(i));
    w.format = e->formatIndex(&si);
    w.analysis = analysisKey(si.analysis);
    w.reusable = plainRun(si) && si.num_glyphs;
    if (w.reusable) {
      w.ascent = si.ascent.value();
      w.descent = si.descent.value();
      w.leading = si.leading.value();
      w.width = si.width.value();
      w.glyphs = si.num_glyphs;
      w.data = data_.size();
      data_.resize(data_.size() + size_t(w.glyphs) * QGlyphLayout::SpaceNeeded);
      copyOut(e->shapedGlyphs(&si), w.glyphs, data_.data() + w.data);
      w.clusters = clusters_.size();
      const unsigned short* clusters = e->logClusters(&si);
      clusters_.insert(clusters_.end(), clusters, clusters + w.length);
    }
    runs_.push_back(w);
  }
  return true;
}
