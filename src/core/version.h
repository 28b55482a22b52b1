// Program name and version shown by the CLI and the about box.
#pragma once
namespace tolvan {
extern const char* const kVersion;
}
