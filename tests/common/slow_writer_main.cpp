// Writes a large file slowly through AtomicFileWriter, for tests that
// interrupt it: 64 KiB pieces, one a millisecond, up to 1 GiB.
// Usage: krelt-test-slow-writer TARGET

#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "common/file_io.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: krelt-test-slow-writer TARGET\n");
    return 2;
  }
  krelt::AtomicFileWriter writer(argv[1]);
  if (krelt::Status status = writer.Open(); !status.ok()) {
    std::fprintf(stderr, "%s\n", status.message().c_str());
    return 1;
  }
  const std::vector<std::uint8_t> piece(std::size_t{64} << 10, 'x');
  for (int count = 0; count < 16384; ++count) {
    if (krelt::Status status = writer.Write(piece); !status.ok()) {
      std::fprintf(stderr, "%s\n", status.message().c_str());
      return 1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return writer.Commit().ok() ? 0 : 1;
}
