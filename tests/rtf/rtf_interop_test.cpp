// Our RTF opened by LibreOffice keeps its text and formatting, and what
// LibreOffice writes back reads as the same document. Runs only when
// LibreOffice (soffice) is installed; says so when it skips.
#include <gtest/gtest.h>

#include <QTextList>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "rtf/rtf.h"
#include "rtf_sample.h"
#include "rtf_test_util.h"

namespace fs = std::filesystem;

namespace {

std::string findSoffice() {
  for (const char* p : {"/usr/bin/soffice", "/usr/lib/libreoffice/program/soffice",
                        "/opt/libreoffice/program/soffice", "/usr/local/bin/soffice"})
    if (fs::exists(p)) return p;
  return {};
}

class LibreOffice : public ::testing::Test {
 protected:
  void SetUp() override {
    soffice_ = findSoffice();
    if (soffice_.empty()) GTEST_SKIP() << "LibreOffice (soffice) is not installed: interop check skipped";
    rtftest::ensureApp();
    dir_ = fs::temp_directory_path() / ("tolvan-rtf-interop-" + std::to_string(::getpid()));
    fs::create_directories(dir_ / "out");
  }
  void TearDown() override {
    std::error_code ec;
    if (!dir_.empty()) fs::remove_all(dir_, ec);
  }

  // Converts file with LibreOffice (filter e.g. "html") into dir_/out and
  // returns the output's bytes.
  std::string convert(const fs::path& file, const std::string& filter, const std::string& ext) {
    const std::string cmd = "'" + soffice_ + "' -env:UserInstallation=file://" + (dir_ / "profile").string() +
                            " --headless --convert-to '" + filter + "' --outdir '" + (dir_ / "out").string() +
                            "' '" + file.string() + "' >/dev/null 2>&1";
    EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
    return rtftest::readFile((dir_ / "out" / (file.stem().string() + "." + ext)).string());
  }

  fs::path writeSample(QTextDocument& doc) {
    rtftest::buildSample(doc);
    const QByteArray rtf = tolvan::rtf::writeRtf(&doc);
    const fs::path p = dir_ / "sample.rtf";
    std::ofstream(p, std::ios::binary).write(rtf.constData(), rtf.size());
    return p;
  }

  std::string soffice_;
  fs::path dir_;
};

// LibreOffice's UTF-8 text back to this program's bytes: Windows-1252
// punctuation and the private-use forms of bytes become the byte again.
std::string toBytes(const QString& s) {
  std::string out;
  for (QChar ch : s) {
    char16_t c = ch.unicode();
    static constexpr char16_t k1252[32] = {
        0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
    for (int i = 0; i < 32; ++i)
      if (k1252[i] && k1252[i] == c) c = static_cast<char16_t>(0x80 + i);
    if (c >= 0xF080 && c <= 0xF19F) c &= 0xFF;
    if (c < 0x100) {
      out += static_cast<char>(c);
    } else {
      char buf[16];
      std::snprintf(buf, sizeof buf, "<U+%04X>", c);
      out += buf;
    }
  }
  return out;
}

TEST_F(LibreOffice, KeepsTheText) {
  QTextDocument doc;
  const fs::path rtf = writeSample(doc);
  std::string txt = convert(rtf, "txt:Text (encoded):UTF8", "txt");
  ASSERT_FALSE(txt.empty()) << "LibreOffice wrote no text";
  if (txt.rfind("\xEF\xBB\xBF", 0) == 0) txt.erase(0, 3);
  QStringList lines = QString::fromUtf8(txt.data(), static_cast<qsizetype>(txt.size())).split(u'\n');
  if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
  // LibreOffice writes each bullet as its symbol and a space after the indent.
  for (QString& l : lines) {
    const QString t = l.trimmed();
    if (t.startsWith(QChar(0x2022))) l = t.mid(2);
  }
  std::string got;
  for (const QString& l : lines) got += toBytes(l) + "\n";
  got.pop_back();
  EXPECT_EQ(got, rtftest::text(doc));
}

TEST_F(LibreOffice, KeepsTheFormatting) {
  QTextDocument doc;
  const std::string html = convert(writeSample(doc), "html", "html");
  ASSERT_FALSE(html.empty()) << "LibreOffice wrote no HTML";
  struct Want {
    const char* what;
    const char* html;
  };
  const Want wants[] = {
      {"bold", "<b>bold</b>"},
      {"italic", "<i>italic</i>"},
      {"underline", "<u>under</u>"},
      {"strike-out", "<strike>"},
      {"text colour", "color=\"#ff0000\""},
      {"background", "background: #ffff00"},
      {"centred", "align=\"center\""},
      {"right", "align=\"right\""},
      {"justified", "align=\"justify\""},
      {"bullets", "<ul>"},
      {"TSCII font", "TSCu_Paranar"},
      {"font size", "font-size: 16pt"},
      {"other font", "Liberation Sans"},
      {"hanging indent", "text-indent: -0.25in"},
  };
  for (const Want& w : wants) EXPECT_NE(html.find(w.html), std::string::npos) << w.what;
  size_t items = 0;
  for (size_t p = html.find("<li"); p != std::string::npos; p = html.find("<li", p + 1)) ++items;
  EXPECT_EQ(items, 2u) << "bulleted paragraphs";
}

TEST_F(LibreOffice, WhatItWritesBackReadsAsTheSameDocument) {
  QTextDocument doc;
  const fs::path rtf = writeSample(doc);
  fs::create_directories(dir_ / "again");
  fs::copy_file(rtf, dir_ / "again" / "lo.rtf");
  const std::string back = convert(dir_ / "again" / "lo.rtf", "rtf:Rich Text Format", "rtf");
  ASSERT_FALSE(back.empty()) << "LibreOffice wrote no RTF";
  QTextDocument read;
  QString err;
  ASSERT_TRUE(tolvan::rtf::readRtf(rtftest::bytes(back), &read, &err)) << err.toStdString();
  EXPECT_EQ(rtftest::text(read), rtftest::text(doc));
  ASSERT_EQ(read.blockCount(), doc.blockCount());
  for (QTextBlock a = doc.begin(), b = read.begin(); a.isValid(); a = a.next(), b = b.next()) {
    EXPECT_EQ(a.textList() != nullptr, b.textList() != nullptr) << a.text().toStdString();
    EXPECT_EQ(a.blockFormat().alignment() & Qt::AlignHorizontal_Mask,
              b.blockFormat().alignment() & Qt::AlignHorizontal_Mask)
        << a.text().toStdString();
  }
  auto at = [&](const char* s) { return rtftest::formatAt(read, rtftest::find(read, QString::fromLatin1(s))); };
  EXPECT_EQ(at("bold").fontWeight(), QFont::Bold);
  EXPECT_TRUE(at("italic").fontItalic());
  EXPECT_TRUE(at("under").fontUnderline());
  EXPECT_TRUE(at("strike").fontStrikeOut());
  EXPECT_EQ(at("red").foreground().color(), QColor(255, 0, 0));
  EXPECT_EQ(at("yellowbg").background().color(), QColor(255, 255, 0));
  const QTextCharFormat tscii = at("\xa6\xb8\xa1");
  EXPECT_EQ(rtftest::family(tscii), "TSCu_Paranar");
  EXPECT_EQ(tscii.fontPointSize(), 16.0);
}

}  // namespace
