// The document window's text encryption: the whole text, as bytes with CR LF
// line breaks (or the lone CR or LF a paragraph came with), goes through the host's passphrase routines and the result
// replaces it in one edit block, so Undo brings the previous text back (a
// decryption with a wrong passphrase included).
//
// A Unicode document's bytes are the UTF-8 of its text, and decrypting in
// one gives text only when the result is UTF-8: anything else (a wrong
// passphrase, text encrypted in a TSCII document) is refused with a message
// and the document stays as it was, so no byte is ever turned into a
// character it was not.
#include <QStringDecoder>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include "core/crypto/crypto_error.h"
#include "windows/document/edit_form.h"
#include "windows/document/document_host.h"
#include "windows/document/editor.h"
#include "platform/byte_text.h"
#include "platform/prompts.h"

namespace {

// A Unicode document's text as UTF-8, paragraphs and line breaks ending as
// documentToBytes ends them (CR LF, or the paragraph's own lone CR or LF).
QByteArray documentToUtf8(const QTextDocument* doc) {
  QString text;
  text.reserve(doc->characterCount() + doc->blockCount());
  for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
    QString t = b.text();
    t.replace(QChar(0x2028), QStringLiteral("\r\n"));
    text += t;
    if (!b.next().isValid()) break;
    const QVariant own = b.blockFormat().property(tolvan::kLineEndingProperty);
    if (own.isValid())
      text += QChar(own.toInt());
    else
      text += QStringLiteral("\r\n");
  }
  return text.toUtf8();
}

// Inserts Unicode text so that documentToUtf8 gives it back: each CR LF,
// lone CR or lone LF a paragraph break, the lone ones marked as
// insertBytesExactly marks them.
void insertUnicodeExactly(QTextCursor& cursor, const QString& text) {
  QTextDocument* doc = cursor.document();
  const int first = cursor.blockNumber();
  QString normal = text;
  normal.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  normal.replace(u'\r', u'\n');
  cursor.insertText(normal);
  auto mark = [&](int number, int ending) {
    const QTextBlock block = doc->findBlockByNumber(number);
    QTextBlockFormat format = block.blockFormat();
    if (ending ? format.intProperty(tolvan::kLineEndingProperty) == ending
               : !format.hasProperty(tolvan::kLineEndingProperty))
      return;
    if (ending)
      format.setProperty(tolvan::kLineEndingProperty, ending);
    else
      format.clearProperty(tolvan::kLineEndingProperty);
    QTextCursor(block).setBlockFormat(format);
  };
  int k = 0;
  const qsizetype n = text.size();
  for (qsizetype i = 0; i < n; ++i) {
    const char16_t c = text[i].unicode();
    if (c == u'\r' && i + 1 < n && text[i + 1] == u'\n') {
      mark(first + k++, 0);
      ++i;
    } else if (c == u'\r' || c == u'\n') {
      mark(first + k++, c);
    }
  }
}

void cryptText(TEditForm* form, TDocumentHost* host, bool encrypt) {
  if (!host) return;
  QTextDocument* doc = form->Editor->document();
  const bool unicode = form->Editor->isUnicode();
  QByteArray text;
  int bad = -1;
  if (unicode) {
    text = documentToUtf8(doc);
  } else if (!tolvan::documentToBytes(doc, QByteArrayLiteral("\r\n"), &text, &bad)) {
    // Only TSCII text can be encrypted; nothing is dropped silently.
    tolvan::Prompts::instance().error(
        form, QStringLiteral("The text holds a character that is not TSCII (at position %1). "
                             "The document was not changed.")
                  .arg(bad + 1));
    return;
  }
  QByteArray out;
  try {
    if (!(encrypt ? host->encryptText(text, out) : host->decryptText(text, out))) return;
  } catch (const tolvan::CryptoError& e) {
    tolvan::Prompts::instance().error(form, QString::fromLatin1(e.what()));
    return;
  }
  QString unicodeText;
  if (unicode) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    unicodeText = utf8.decode(out);
    if (utf8.hasError()) {
      tolvan::Prompts::instance().error(
          form, QStringLiteral("The decrypted text is not Unicode (UTF-8) text: the passphrase may be "
                               "wrong, or the text was encrypted in a TSCII document. "
                               "The document was not changed."));
      return;
    }
  }
  QTextCursor c(doc);
  c.beginEditBlock();
  c.select(QTextCursor::Document);
  c.removeSelectedText();
  // Byte for byte: a lone CR or LF comes back as itself at the next
  // encryption, so noise from a wrong passphrase encrypts back to its Base64.
  if (unicode)
    insertUnicodeExactly(c, unicodeText);
  else
    tolvan::insertBytesExactly(c, out);
  c.endEditBlock();
  c.movePosition(QTextCursor::Start);
  form->Editor->setTextCursor(c);
}

}  // namespace

void TEditForm::mmEncryptClick() { cryptText(this, Host_, true); }
void TEditForm::mmDecryptClick() { cryptText(this, Host_, false); }
