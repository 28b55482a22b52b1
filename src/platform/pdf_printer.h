// A printer that writes a PDF file whose text can be searched and copied in
// the order it was written, whatever the script.
//
// Qt's PDF writer gives each glyph back one character, through the font's
// table from characters to glyphs read backwards. That is right for Latin,
// but a Tamil vowel sign drawn before its consonant comes out before it
// (கொ as "ெகா") and a glyph made of several letters (கு, ஸ்ரீ, க்ஷ) comes
// out as one letter or none. This printer's engine draws such glyphs inside
// a marked-content span whose ActualText is the letters they stand for, the
// way PDF readers are told a glyph's real text; the page looks as before.
#pragma once
#include <QPrinter>
#include <memory>

class QPdfPrintEngine;

namespace tolvan {

// Holds the engine so that it is made before the printer and outlives it
// (QPrinter does not own an engine given to it).
class PdfTextEngineOwner {
 protected:
  explicit PdfTextEngineOwner(QPrinter::PrinterMode mode);
  ~PdfTextEngineOwner();
  std::unique_ptr<QPdfPrintEngine> engine_;
};

// A PDF printer (output format PdfFormat from the start; set the output
// file name as with any QPrinter). Changing the output format gives up the
// engine, and with it the text spans.
class PdfTextPrinter : private PdfTextEngineOwner, public QPrinter {
 public:
  explicit PdfTextPrinter(PrinterMode mode = HighResolution);
  ~PdfTextPrinter() override;
};

}  // namespace tolvan
