// A document using every format the editor can hold, for the writer's round
// trip and the LibreOffice check.
#pragma once
#include <QTextCursor>
#include <QTextDocument>
#include <QTextList>

namespace rtftest {

inline void buildSample(QTextDocument& doc) {
  QTextCursor c(&doc);
  auto fmt = [](const char* family, double size) {
    QTextCharFormat f;
    f.setFontFamilies(QStringList{QString::fromLatin1(family)});
    f.setFontPointSize(size);
    return f;
  };
  // 1: styles and colours.
  QTextCharFormat plain = fmt("Liberation Serif", 12);
  c.insertText("Plain ", plain);
  QTextCharFormat f = plain;
  f.setFontWeight(QFont::Bold);
  c.insertText("bold", f);
  c.insertText(" ", plain);
  f = plain;
  f.setFontItalic(true);
  c.insertText("italic", f);
  c.insertText(" ", plain);
  f = plain;
  f.setFontUnderline(true);
  c.insertText("under", f);
  c.insertText(" ", plain);
  f = plain;
  f.setFontStrikeOut(true);
  c.insertText("strike", f);
  c.insertText(" ", plain);
  f = plain;
  f.setForeground(QColor(255, 0, 0));
  c.insertText("red", f);
  c.insertText(" ", plain);
  f = plain;
  f.setBackground(QColor(255, 255, 0));
  c.insertText("yellowbg", f);
  c.insertText("  two  spaces   three", plain);
  // 2: centred TSCII text in the TSCII font, 16 pt.
  QTextBlockFormat centre;
  centre.setAlignment(Qt::AlignHCenter);
  c.insertBlock(centre);
  c.insertText(QString::fromLatin1("\xa6\xb8\xa1 \xaa\xa1\xb0 \x82\xa0\xad \x81\x8d\x8f\x90\x9d"),
               fmt("TSCu_Paranar", 16));
  // 3: right, justified, escapes, tab, line break, beyond Latin-1.
  QTextBlockFormat right;
  right.setAlignment(Qt::AlignRight);
  c.insertBlock(right);
  c.insertText("right", plain);
  QTextBlockFormat justify;
  justify.setAlignment(Qt::AlignJustify);
  c.insertBlock(justify);
  c.insertText(QString::fromUtf8("justify {brace} back\\slash\ttab\u2028next line \u0416\u03B1"), plain);
  // 4: bullets.
  QTextBlockFormat left;
  left.setAlignment(Qt::AlignLeft);
  c.insertBlock(left);
  QTextListFormat lf;
  lf.setStyle(QTextListFormat::ListDisc);
  lf.setIndent(1);
  c.createList(lf);
  c.insertText("first bullet", plain);
  c.insertBlock();
  c.insertText("second bullet", fmt("Liberation Sans", 10));
  // 5: an empty paragraph, then an indented one.
  c.insertBlock(left);
  c.currentList() ? c.currentList()->remove(c.block()) : void();
  QTextBlockFormat plainBlock = left;
  plainBlock.setIndent(0);
  c.setBlockFormat(plainBlock);
  c.insertBlock(left);
  QTextBlockFormat indented = left;
  indented.setLeftMargin(48);
  indented.setRightMargin(24);
  indented.setTextIndent(-24);
  c.setBlockFormat(indented);
  c.insertText("indented", plain);
}

}  // namespace rtftest
