// Growing a string that is about to be overwritten, without filling the new
// bytes with zeros first: the converters write every byte they keep, and
// filling megabytes with zeros first costs a good share of a conversion. The
// bytes past the old length are indeterminate until written; every caller
// trims the string to what it wrote.
#pragma once
#include <cstddef>
#include <string>

namespace tolvan {

// Sets the length to n; the bytes past the old length are left unwritten.
void resizeUninit(std::string& s, std::size_t n);

}  // namespace tolvan
