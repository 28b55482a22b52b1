// Placeholder until this subcommand group is built.
#include "cli.h"
namespace cli {
int cmdType(const Args&) { return fail("not available yet"); }
}  // namespace cli
