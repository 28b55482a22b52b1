/* The yardstick for the converters as whole processes: the least a
 * byte-for-byte re-coding can cost with the same input and output as
 * tolvan-cli convert. Reads FILE (or standard input) in 64 KiB pieces, maps
 * every byte through a 256-entry table and writes each piece to standard
 * output.
 *
 *   map_loop [FILE] > out
 */
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

enum { kPiece = 1 << 16 };

int main(int argc, char** argv) {
  static unsigned char table[256], in[kPiece], out[kPiece];
  int fd = 0;
  for (int c = 0; c < 256; ++c) table[c] = (unsigned char)(c < 0x80 ? c : c ^ 0x40);
  if (argc > 1 && strcmp(argv[1], "-") != 0) {
    fd = open(argv[1], O_RDONLY);
    if (fd < 0) {
      perror(argv[1]);
      return 1;
    }
  }
  for (;;) {
    ssize_t n = read(fd, in, sizeof in);
    if (n < 0) {
      perror("read");
      return 1;
    }
    if (n == 0) break;
    for (ssize_t i = 0; i < n; ++i) out[i] = table[in[i]];
    for (ssize_t done = 0; done < n;) {
      ssize_t w = write(1, out + done, (size_t)(n - done));
      if (w < 0) {
        perror("write");
        return 1;
      }
      done += w;
    }
  }
  return 0;
}
