// Placeholder until this subcommand group is built.
#include "cli.h"
namespace cli {
int cmdConvert(const Args&) { return fail("not available yet"); }
int cmdFontmap(const Args&) { return fail("not available yet"); }
}  // namespace cli
