#include "core/convert/unicode_stream.h"

namespace tolvan {

namespace {

// Feeds `in` to a converter of pieces that holds `tail` between calls. Only
// the tail and a short head of the new input are ever copied. convert(piece,
// base, final) converts one piece and returns the bytes it consumed.
template <class Convert>
void feedPieces(const Convert& convert, std::string& tail, uint64_t& offset, size_t maxTail,
                std::string_view in, bool final, std::string& out) {
  auto run = [&](std::string_view buf, bool fin) {
    const size_t used = convert(buf, offset, fin, out);
    offset += used;
    return used;
  };
  if (!tail.empty()) {
    if (in.size() <= 2 * maxTail) {
      std::string buf = tail + std::string(in);
      const size_t used = run(buf, final);
      tail = buf.substr(used);
      return;
    }
    // Tail plus 2*maxTail bytes: the run stops at least maxTail bytes past
    // the tail's end, so every letter begun in the tail is finished here.
    std::string buf = tail + std::string(in.substr(0, 2 * maxTail));
    const size_t used = run(buf, false);
    in.remove_prefix(used - tail.size());
    tail.clear();
  }
  const size_t used = run(in, final);
  tail.assign(in.substr(used));
}

}  // namespace

void TsciiToUnicodeStream::feed(std::string_view in, std::string& out) {
  feedPieces([this](std::string_view p, uint64_t base, bool fin, std::string& o) {
               return TsciiToUnicodePiece(st_, p, base, fin, warn_, o);
             },
             tail_, offset_, kMaxTail, in, false, out);
}
void TsciiToUnicodeStream::finish(std::string& out) {
  feedPieces([this](std::string_view p, uint64_t base, bool fin, std::string& o) {
               return TsciiToUnicodePiece(st_, p, base, fin, warn_, o);
             },
             tail_, offset_, kMaxTail, {}, true, out);
}
void UnicodeToTsciiStream::feed(std::string_view in, std::string& out) {
  feedPieces([this](std::string_view p, uint64_t base, bool fin, std::string& o) {
               return UnicodeToTsciiPiece(st_, p, base, fin, warn_, policy_, o);
             },
             tail_, offset_, kMaxTail, in, false, out);
}
void UnicodeToTsciiStream::finish(std::string& out) {
  feedPieces([this](std::string_view p, uint64_t base, bool fin, std::string& o) {
               return UnicodeToTsciiPiece(st_, p, base, fin, warn_, policy_, o);
             },
             tail_, offset_, kMaxTail, {}, true, out);
}

}  // namespace tolvan
