// Helpers shared by the fuzz targets.
#include "fuzz/support.h"

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <vector>

#include "rt/rt.h"

extern char** environ;

extern "C" {
void* __real_malloc(size_t size);
void* __real_calloc(size_t count, size_t size);
void* __real_realloc(void* block, size_t size);
void __real_free(void* block);
}

// Live blocks while keeping, in an open-addressed table that never
// allocates (the wrappers must not call themselves).
enum { kSlots = 1 << 17 };
static void* slots[kSlots];
static size_t live = 0;
// Every slot filled since fz_keep_begin, so that fz_keep_end visits only
// those.
static size_t used[kSlots];
static size_t used_count = 0;
static bool keeping = false;
static void* const kGone = (void*)1;

static size_t slot_of(void* p) {
  return ((uintptr_t)p >> 4) * 2654435761u % kSlots;
}

static void remember(void* p) {
  if (!keeping || !p) {
    return;
  }
  if (live + 1 >= kSlots / 2 || used_count == kSlots) {
    fprintf(stderr, "fuzz: too many blocks kept\n");
    abort();
  }
  size_t i = slot_of(p);
  while (slots[i] && slots[i] != kGone) {
    i = (i + 1) % kSlots;
  }
  if (!slots[i]) {
    used[used_count++] = i;
  }
  slots[i] = p;
  live++;
}

static void forget(void* p) {
  if (!p || live == 0) {
    return;
  }
  for (size_t i = slot_of(p); slots[i]; i = (i + 1) % kSlots) {
    if (slots[i] == p) {
      slots[i] = kGone;
      live--;
      return;
    }
  }
}

extern "C" {
void* __wrap_malloc(size_t size) {
  void* p = __real_malloc(size);
  remember(p);
  return p;
}

void* __wrap_calloc(size_t count, size_t size) {
  void* p = __real_calloc(count, size);
  remember(p);
  return p;
}

void* __wrap_realloc(void* block, size_t size) {
  void* p = __real_realloc(block, size);
  if (p) {
    forget(block);
    remember(p);
  }
  return p;
}

char* __wrap_strdup(const char* s) {
  size_t len = strlen(s) + 1;
  char* copy = (char*)__wrap_malloc(len);
  if (copy) {
    memcpy(copy, s, len);
  }
  return copy;
}

void __wrap_free(void* block) {
  forget(block);
  __real_free(block);
}
}

void fz_keep_begin() {
  keeping = true;
}

void fz_keep_end() {
  keeping = false;
  for (size_t k = 0; k < used_count; k++) {
    size_t i = used[k];
    if (slots[i] && slots[i] != kGone) {
      __real_free(slots[i]);
    }
    slots[i] = nullptr;
  }
  used_count = 0;
  live = 0;
}

std::string fz_private_dir(const char* name) {
  const char* tmp = getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/" + name +
                        "_XXXXXX";
  std::vector<char> buf(pattern.begin(), pattern.end());
  buf.push_back('\0');
  fz_check(mkdtemp(buf.data()) != nullptr, "cannot make a private folder");
  return std::string(buf.data()) + "/";
}

void fz_write(const std::string& path, const std::string& bytes) {
  FILE* f = fopen(path.c_str(), "wb");
  fz_check(f != nullptr, "cannot write a file");
  fz_check(fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size(),
           "cannot write a file");
  fz_check(fclose(f) == 0, "cannot write a file");
}

// The recorded environment: strings owned here, never freed. The list is
// never destroyed either, so that the strings stay reachable at exit.
static std::vector<char*>& recorded = *new std::vector<char*>;

void fz_env_record() {
  recorded.clear();
  for (char** e = environ; e && *e; e++) {
    recorded.push_back(strdup(*e));
  }
}

void fz_env_restore() {
  clearenv();
  // The runtime layer's table of the environment goes too, before the
  // blocks made since fz_keep_begin are freed.
  rt_env_release();
  for (char* entry : recorded) {
    putenv(entry);
  }
}

bool fz_env_recorded(const char* entry) {
  for (const char* r : recorded) {
    if (strcmp(r, entry) == 0) {
      return true;
    }
  }
  return false;
}

void fz_check(bool ok, const char* what) {
  if (!ok) {
    fprintf(stderr, "fuzz finding: %s\n", what);
    abort();
  }
}
