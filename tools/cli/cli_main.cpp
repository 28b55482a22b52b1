// tolvan-cli's command line: dispatches to the subcommands listed in kCommands.
#include <cstdio>
#include <string>

#include "cli.h"
#include "core/version.h"

namespace {

struct Command {
  const char* name;
  int (*run)(const cli::Args&);
  const char* usage;
};

const Command kCommands[] = {
    {"type", cli::cmdType, "type --layout anjal|mylai|typewriter|roman [--to tscii|unicode] [FILE]\n"
                           "      Feed key bytes through a keyboard layout; print the typed TSCII text\n"
                           "      (or, --to unicode, the UTF-8 text of a Unicode document)."},
    {"convert", cli::cmdConvert, "convert --from FROM --to TO [FILE]\n"
                                 "      Convert text: mylai->tscii, anjal->tscii, roman->tscii, tscii->tab,\n"
                                 "      tscii->unicode, unicode->tscii."},
    {"fontmap", cli::cmdFontmap, "fontmap apply MAP.tol [FILE]\n"
                                 "      Re-code text with a font-map file."},
    {"encrypt", cli::cmdEncrypt, "encrypt [--password-file PATH] FILE\n"
                                 "      Encrypt a file in place (the original is kept as FILE.org)."},
    {"decrypt", cli::cmdDecrypt, "decrypt [--password-file PATH] FILE\n"
                                 "      Decrypt a file in place (the encrypted file is kept as FILE.enc)."},
    {"encrypt-text", cli::cmdEncryptText, "encrypt-text [--password-file PATH]\n"
                                          "      Encrypt standard input to one line of Base64."},
    {"decrypt-text", cli::cmdDecryptText, "decrypt-text [--password-file PATH]\n"
                                          "      Decrypt Base64 text from standard input."},
    {"crc", cli::cmdCrc, "crc FILE\n"
                         "      Print the CRC-32 of a file."},
    {"rtf", cli::cmdRtf, "rtf --to text [FILE.rtf] | rtf --to rtf [FILE.txt]\n"
                         "      Read an RTF document as plain bytes, or write text as RTF."},
};

void printHelp(std::FILE* to) {
  std::fprintf(to, "tolvan-cli %s - Tamil typing, conversion and encryption from the command line\n\n",
               tolvan::kVersion);
  std::fprintf(to, "Usage: tolvan-cli COMMAND [OPTIONS]\n\nCommands:\n");
  for (const auto& c : kCommands) std::fprintf(to, "  %s\n", c.usage);
  std::fprintf(to, "\n  --help   Show this help.\n");
}

}  // namespace

namespace cli {

int runCli(int argc, char** argv) {
  if (argc < 2) {
    printHelp(stderr);
    return cli::kUsage;
  }
  std::string name = argv[1];
  if (name == "--help" || name == "-h" || name == "help") {
    printHelp(stdout);
    return cli::runCommand([](const cli::Args&) { cli::flushOut(); return 0; }, {});
  }
  if (name == "--version") {
    std::printf("tolvan-cli %s\n", tolvan::kVersion);
    return cli::runCommand([](const cli::Args&) { cli::flushOut(); return 0; }, {});
  }
  cli::Args args(argv + 2, argv + argc);
  for (const auto& c : kCommands)
    if (name == c.name) return cli::runCommand(c.run, args);
  return cli::usage("unknown command '" + name + "' (try --help)");
}

}  // namespace cli
