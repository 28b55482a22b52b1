#include "platform/pdf_printer.h"

#include <QBuffer>
#include <QTextItem>
// Qt draws a text item glyph by glyph and keeps which characters made which
// glyphs only in its private text item; its PDF engine writes each page into
// a private byte stream. Both were read against Qt 6.4: a text item's
// logClusters give, for each character, the first glyph of its cluster
// (left to right); the page stream is a QBuffer that each drawing call
// appends to. Check these again before building with another Qt.
#include <QtGui/private/qpdf_p.h>
#include <QtGui/private/qtextengine_p.h>
// The PDF print engine's header pulls in Qt's printing helpers, which need
// the CUPS headers for types the engine does not use; leaving them out
// spares the build a dependency on CUPS's development files.
#define QPRINT_P_H
#include <QtPrintSupport/private/qprintengine_pdf_p.h>
#undef QPRINT_P_H

#include <vector>

#include "platform/pdf_text_spans.h"

static_assert(QT_VERSION >= QT_VERSION_CHECK(6, 4, 0) && QT_VERSION < QT_VERSION_CHECK(6, 9, 0),
              "the PDF printer writes into Qt's private page stream; check it for this Qt");

namespace {

// The page stream's private members, reached through an explicit template
// instantiation (which may name private members; nothing else here does).
template <typename Tag, typename Tag::type Member>
struct Expose {
  friend typename Tag::type member(Tag) { return Member; }
};
struct StreamDevice {
  using type = QIODevice* QPdf::ByteStream::*;
  friend type member(StreamDevice);
};
struct StreamHandedOut {
  using type = bool QPdf::ByteStream::*;
  friend type member(StreamHandedOut);
};
template struct Expose<StreamDevice, &QPdf::ByteStream::dev>;
template struct Expose<StreamHandedOut, &QPdf::ByteStream::handleDirty>;

using tolvan::pdfspans::markSpans;
using tolvan::pdfspans::Part;
using tolvan::pdfspans::partsOf;

class PdfTextEngine final : public QPdfPrintEngine {
 public:
  explicit PdfTextEngine(QPrinter::PrinterMode mode) : QPdfPrintEngine(mode) {}

  void drawTextItem(const QPointF& p, const QTextItem& item) override {
    const auto& ti = static_cast<const QTextItemInt&>(item);
    QBuffer* page = pageStream();
    std::vector<Part> parts;
    if (page && ti.fontEngine && ti.chars && ti.logClusters && ti.num_chars > 0 && ti.glyphs.numGlyphs > 0 &&
        !(ti.flags & QTextItem::RightToLeft))
      parts = partsOf(ti);
    const qint64 start = page ? page->size() : 0;
    QPdfPrintEngine::drawTextItem(p, item);
    if (parts.empty() || (parts.size() == 1 && !parts.front().spanned)) return;  // reads back right as it is
    markSpans(page->buffer(), start, ti.chars, ti.glyphs, parts);
    page->seek(page->size());
  }

 private:
  // The current page's content, or null when it cannot be added to here
  // (no page, or Qt has moved it out of memory).
  QBuffer* pageStream() {
    auto* d = static_cast<QPdfEnginePrivate*>(d_ptr.data());
    QPdf::ByteStream* stream = d->currentPage;
    if (!stream || stream->*member(StreamHandedOut{})) return nullptr;
    return qobject_cast<QBuffer*>(stream->*member(StreamDevice{}));
  }
};

}  // namespace

namespace tolvan {

PdfTextEngineOwner::PdfTextEngineOwner(QPrinter::PrinterMode mode) : engine_(std::make_unique<PdfTextEngine>(mode)) {}
PdfTextEngineOwner::~PdfTextEngineOwner() = default;

PdfTextPrinter::PdfTextPrinter(PrinterMode mode) : PdfTextEngineOwner(mode), QPrinter(mode) {
  // The format first: choosing it makes Qt's own engine, which ours replaces.
  setOutputFormat(PdfFormat);
  setEngines(engine_.get(), engine_.get());
}

PdfTextPrinter::~PdfTextPrinter() = default;

}  // namespace tolvan
