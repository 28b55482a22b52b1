// Placeholder until this subcommand group is built.
#include "cli.h"
namespace cli {
int convertUnicode(const std::string&, const std::string&, const std::string&) { return fail("not available yet"); }
}  // namespace cli
