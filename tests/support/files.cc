// Reading and writing whole files in binary mode, the same on every platform.
#include <fstream>
#include <sstream>

#include "tests/support/proc.h"

bool write_file(const std::string& path, const std::string& bytes) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write(bytes.data(), (std::streamsize)bytes.size());
  return (bool)f;
}

std::string read_file(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

std::string deep_folder(const std::string& root) {
  std::string dir = root;
  while (dir.size() < 200) {
    dir += std::string(40, 'd') + kDirSep;
  }
  // Characters that start at odd offsets: one of them spans bytes 259 and
  // 260, so that a path cut to 259 bytes ends between two characters.
  if (dir.size() % 2 == 0) {
    dir.insert(dir.size() - 1, "d");
  }
  for (int i = 0; i < 60; i++) {
    dir += "\x83\x5C";
  }
  dir += kDirSep;
  return make_dirs(dir) ? dir : std::string();
}

int test_cp932_lead(unsigned char byte) {
  return (byte >= 0x81 && byte <= 0x9f) || (byte >= 0xe0 && byte <= 0xfc);
}

int test_no_lead(unsigned char) {
  return 0;
}
