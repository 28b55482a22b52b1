// The document window's text encryption: the whole text, as bytes with CR LF
// line breaks (or the lone CR or LF a paragraph came with), goes through the host's passphrase routines and the result
// replaces it in one edit block, so Undo brings the previous text back (a
// decryption with a wrong passphrase included).
#include <QTextCursor>
#include <QTextDocument>

#include "core/crypto/crypto_error.h"
#include "windows/document/edit_form.h"
#include "windows/document/document_host.h"
#include "windows/document/editor.h"
#include "platform/byte_text.h"
#include "platform/prompts.h"

namespace {

void cryptText(TEditForm* form, TDocumentHost* host, bool encrypt) {
  if (!host) return;
  QTextDocument* doc = form->Editor->document();
  QByteArray text;
  int bad = -1;
  if (!tolvan::documentToBytes(doc, QByteArrayLiteral("\r\n"), &text, &bad)) {
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
  QTextCursor c(doc);
  c.beginEditBlock();
  c.select(QTextCursor::Document);
  c.removeSelectedText();
  // Byte for byte: a lone CR or LF comes back as itself at the next
  // encryption, so noise from a wrong passphrase encrypts back to its Base64.
  tolvan::insertBytesExactly(c, out);
  c.endEditBlock();
  c.movePosition(QTextCursor::Start);
  form->Editor->setTextCursor(c);
}

}  // namespace

void TEditForm::mmEncryptClick() { cryptText(this, Host_, true); }
void TEditForm::mmDecryptClick() { cryptText(this, Host_, false); }
