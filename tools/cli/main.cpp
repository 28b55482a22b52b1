// tolvan-cli entry point.
#include "cli.h"

int main(int argc, char** argv) { return cli::runCli(argc, argv); }
