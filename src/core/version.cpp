#include "core/version.h"
namespace tolvan {
const char* const kVersion = "0.1";
}
