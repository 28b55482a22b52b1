// Placeholder until this subcommand group is built.
#include "cli.h"
namespace cli {
int cmdEncrypt(const Args&) { return fail("not available yet"); }
int cmdDecrypt(const Args&) { return fail("not available yet"); }
int cmdEncryptText(const Args&) { return fail("not available yet"); }
int cmdDecryptText(const Args&) { return fail("not available yet"); }
int cmdCrc(const Args&) { return fail("not available yet"); }
}  // namespace cli
