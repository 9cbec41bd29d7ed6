// Reading and writing whole files in binary mode, the same on every platform.
#include <stdio.h>

#include "tests/support/proc.h"

bool write_file(const std::string& path, const std::string& bytes) {
  FILE* f = open_file(path, "wb");
  if (!f) {
    return false;
  }
  bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return fclose(f) == 0 && ok;
}

std::string read_file(const std::string& path) {
  std::string out;
  char buf[4096];
  size_t n;
  FILE* f = open_file(path, "rb");
  if (!f) {
    return out;
  }
  while ((n = fread(buf, 1, sizeof buf, f)) > 0) {
    out.append(buf, n);
  }
  fclose(f);
  return out;
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
