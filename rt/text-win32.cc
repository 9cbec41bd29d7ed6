// Text on Windows between the active code page, UTF-16 and environment text
// (UTF-8): every conversion exact or refused, never a stand-in.
#include <windows.h>

#include <stdlib.h>
#include <string.h>
#include <wchar.h>

#include "rt/path.h"
#include "rt/rt-win32.h"
#include "rt/rt.h"
#include "rt/utf.h"

int rt_has_lead_bytes(void) {
  CPINFO info;
  return GetCPInfo(CP_ACP, &info) && info.MaxCharSize > 1;
}

int rt_is_lead_byte(unsigned char byte) {
  return IsDBCSLeadByte(byte) ? 1 : 0;
}

DWORD rt_narrow_flags(void) {
  // The UTF code pages take no flags and need none.
  UINT acp = GetACP();
  return acp == CP_UTF8 || acp == CP_UTF7 ? 0 : WC_NO_BEST_FIT_CHARS;
}

// Decodes len bytes of code page cp into a new UTF-16 string, reporting
// every invalid sequence. Returns RT_OK, RT_NOT_TEXT or RT_NO_MEMORY.
static int decode(UINT cp, const char* text, size_t len, wchar_t** out,
                  int* units) {
  wchar_t* wide;
  int n = 0;
  *out = NULL;
  if (len > 0x3fffffff) {
    return RT_NO_MEMORY;
  }
  if (len > 0) {
    n = MultiByteToWideChar(cp, MB_ERR_INVALID_CHARS, text, (int)len, NULL, 0);
    if (n <= 0) {
      return GetLastError() == ERROR_NO_UNICODE_TRANSLATION ? RT_NOT_TEXT
                                                            : RT_NO_MEMORY;
    }
  }
  wide = (wchar_t*)malloc(((size_t)n + 1) * sizeof(wchar_t));
  if (!wide) {
    return RT_NO_MEMORY;
  }
  if (n > 0 && MultiByteToWideChar(cp, MB_ERR_INVALID_CHARS, text, (int)len,
                                   wide, n) != n) {
    free(wide);
    return RT_NOT_TEXT;
  }
  wide[n] = L'\0';
  *out = wide;
  if (units) {
    *units = n;
  }
  return RT_OK;
}

// Tells whether the units UTF-16 units at wide encode in the code page to
// exactly the len bytes at cp. Returns 1 or 0.
static int encodes_back(const wchar_t* wide, int units, const char* cp,
                        size_t len) {
  char buf[512];
  char* back = len < sizeof buf ? buf : (char*)malloc(len + 1);
  int same;
  if (!back) {
    return 0;
  }
  same = (units == 0 && len == 0) ||
         ((size_t)WideCharToMultiByte(CP_ACP, rt_narrow_flags(), wide, units,
                                      back, (int)len + 1, NULL, NULL) == len &&
          memcmp(back, cp, len) == 0);
  if (back != buf) {
    free(back);
  }
  return same;
}

int rt_widen(const char* text, size_t len, wchar_t** out, int* units) {
  int n;
  int rc = decode(CP_ACP, text, len, out, &n);
  // Some systems decode bytes that are no text (a lead byte before a blank,
  // or at the end) to a stand-in, or drop them, without a word: only bytes
  // that the characters give back are text.
  if (rc == RT_OK && !encodes_back(*out, n, text, len)) {
    free(*out);
    *out = NULL;
    return RT_NOT_TEXT;
  }
  if (units) {
    *units = n;
  }
  return rc;
}

int rt_wide_from_text(const char* text, wchar_t** out) {
  return decode(CP_UTF8, text, strlen(text), out, NULL);
}

int rt_text_from_wide(const wchar_t* wide, size_t units, char** text) {
  return rt_utf8_from_utf16((const uint16_t*)wide, units, text);
}

// Tells whether the n bytes at cp decode, as text of the code page, to
// exactly the units UTF-16 units at wide. Returns 1 or 0.
static int round_trips(const char* cp, int n, const wchar_t* wide, int units) {
  wchar_t buf[256];
  wchar_t* back = units <= 256 ? buf : (wchar_t*)malloc(units * sizeof *back);
  int same;
  if (!back) {
    return 0;
  }
  same = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, cp, n, back,
                             units) == units &&
         wmemcmp(back, wide, (size_t)units) == 0;
  if (back != buf) {
    free(back);
  }
  return same;
}

int rt_narrow_exact(const wchar_t* text, int units, char* out, size_t size) {
  UINT acp = GetACP();
  int utf8 = acp == CP_UTF8;
  // The UTF-8 code page reports a lone surrogate as an error; the others
  // say through the default-character flag that a stand-in was used.
  DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : rt_narrow_flags();
  BOOL defaulted = FALSE;
  BOOL* used = utf8 || acp == CP_UTF7 ? NULL : &defaulted;
  int n = WideCharToMultiByte(CP_ACP, flags, text, units, NULL, 0, NULL, used);
  if (n <= 0 || defaulted) {
    return -1;
  }
  if ((size_t)n >= size) {
    return -2;
  }
  if (WideCharToMultiByte(CP_ACP, flags, text, units, out, n, NULL, used) != n ||
      defaulted) {
    return -1;
  }
  out[n] = '\0';
  // Bytes that are no text of the code page hold nothing exactly, though
  // some system maps them to characters of their own and back.
  return round_trips(out, n, text, units) ? n : -1;
}

int rt_code_page_copy(const wchar_t* wide, size_t units, const char* prefix,
                      char** cp) {
  size_t plen = strlen(prefix);
  // No code page takes more than four bytes for one unit.
  size_t size = 4 * units + 1;
  char* out;
  int n;
  *cp = NULL;
  if (units > 0x1fffffff || plen > 0x1fffffff) {
    return RT_NO_MEMORY;
  }
  out = (char*)malloc(plen + size);
  if (!out) {
    return RT_NO_MEMORY;
  }
  *cp = out;
  memcpy(out, prefix, plen);
  out += plen;
  out[0] = '\0';
  if (units == 0 || rt_narrow_exact(wide, (int)units, out, size) >= 0) {
    return RT_OK;
  }
  // The UTF code pages take no stand-in of the caller's.
  n = WideCharToMultiByte(CP_ACP, rt_narrow_flags(), wide, (int)units, out,
                          (int)size - 1, rt_narrow_flags() ? "?" : NULL, NULL);
  out[n > 0 ? n : 0] = '\0';
  return RT_NOT_IN_CODE_PAGE;
}

int rt_short_code_page(const wchar_t* path, const char* prefix, char** cp) {
  DWORD need = GetShortPathNameW(path, NULL, 0);
  wchar_t* shorter;
  DWORD got;
  int rc;
  *cp = NULL;
  if (need == 0) {
    return RT_NOT_IN_CODE_PAGE;
  }
  shorter = (wchar_t*)malloc((size_t)need * sizeof(wchar_t));
  if (!shorter) {
    return RT_NO_MEMORY;
  }
  got = GetShortPathNameW(path, shorter, need);
  rc = RT_NOT_IN_CODE_PAGE;
  if (got > 0 && got < need) {
    rc = rt_code_page_copy(shorter, got, prefix, cp);
    if (rc == RT_NOT_IN_CODE_PAGE) {
      free(*cp);
      *cp = NULL;
    }
  }
  free(shorter);
  return rc;
}

int rt_text_from_code_page(const char* cp, size_t len, char** text) {
  wchar_t* wide;
  int units;
  int rc = rt_widen(cp, len, &wide, &units);
  *text = NULL;
  if (rc != RT_OK) {
    return rc;
  }
  rc = rt_text_from_wide(wide, (size_t)units, text);
  free(wide);
  return rc;
}

int rt_code_page_from_text(const char* text, const char* prefix, char** cp) {
  wchar_t* wide;
  int rc = rt_wide_from_text(text, &wide);
  *cp = NULL;
  if (rc != RT_OK) {
    // Text that is no UTF-8 has no form at all; the message shows it as "?".
    if (rc == RT_NOT_TEXT) {
      return rt_code_page_copy(L"?", 1, prefix, cp) == RT_NO_MEMORY
                 ? RT_NO_MEMORY
                 : RT_NOT_IN_CODE_PAGE;
    }
    return rc;
  }
  rc = rt_code_page_copy(wide, wcslen(wide), prefix, cp);
  free(wide);
  return rc;
}

int rt_code_page_path(const char* path, const char* prefix, char** cp) {
  wchar_t* wide;
  char* shorter;
  int rc = rt_code_page_from_text(path, prefix, cp);
  if (rc != RT_NOT_IN_CODE_PAGE || rt_wide_from_text(path, &wide)) {
    return rc;
  }
  // The short name names the same file; the long name stays for messages
  // when there is none that the code page holds.
  rc = rt_short_code_page(wide, prefix, &shorter);
  free(wide);
  if (rc == RT_NOT_IN_CODE_PAGE) {
    return rc;
  }
  free(*cp);
  *cp = shorter;
  return rc;
}

int rt_text_is_code_page(void) {
  return 0;
}
