// Paths, and other text that holds "\", as byte strings, read character by
// character: in a double-byte code page the second byte of a character may
// be 0x5C, and is then part of that character, never a separator or a
// backslash. The path functions below take environment text (rt.h): read
// with the code page's lead bytes where it is code-page text (POSIX), byte
// by byte where it is UTF-8 (Windows), whose longer characters hold no byte
// below 0x80; a lead-byte model that a test sets stands for both. Plain code
// for every platform; only the lead-byte test comes from the platform layer.
#ifndef RT_PATH_H_
#define RT_PATH_H_

#include <stddef.h>

// The separators that end a directory part wherever one is taken from a
// name: "\", "/" and ":" (after a drive), on every platform.
extern const char kRtDirSeps[];

// Tells whether a byte starts a two-byte character. Returns 1 or 0.
typedef int (*RtLeadByteTest)(unsigned char byte);

// The platform's test: the active code page's lead bytes on Windows, none on
// POSIX, whose paths the system reads as bytes.
int rt_is_lead_byte(unsigned char byte);

// Tells whether the platform's test can find a lead byte at all: whether the
// active code page has characters of more than one byte. Returns 1 or 0.
int rt_has_lead_bytes(void);

// Replaces the lead-byte test that rt_double_byte and the functions below
// use, so that tests can model a double-byte code page on any platform; null
// restores the platform's. Returns the test used before.
RtLeadByteTest rt_set_lead_test(RtLeadByteTest test);

// The lead-byte test in use as a table: entry b is 1 when byte b starts a
// two-byte character. Filled on first use; every lead byte is 0x81 or
// above. Never freed; valid until the process ends.
const unsigned char* rt_lead_bytes(void);

// Tells whether the bytes at p and p + 1 (before end) form one double-byte
// character: a lead byte and a second byte of 0x40 or above, as every
// double-byte code page's second bytes are. A lead byte before anything
// else (a blank, a quote, "/", ":", the end) stands alone. Returns 1 or 0.
int rt_double_byte(const char* p, const char* end);

// The length of path's directory part: up to and including the last
// character that is one of the bytes of seps; 0 when there is none.
size_t rt_path_dir_length(const char* path, const char* seps);

// Tells whether the last character of path[0..len) is one of seps.
// Returns 1 or 0.
int rt_path_ends_in(const char* path, size_t len, const char* seps);

// The length of path without one trailing separator: strlen(path), less
// one when its last character is one of seps.
size_t rt_path_trimmed_length(const char* path, const char* seps);

// Joins directory and name, with the platform's separator between them when
// directory is not empty and does not already end in one of kRtDirSeps; an
// empty directory gives a copy of name. Returns a new string; the caller
// frees it with free(). Null when out of memory.
char* rt_path_join(const char* directory, const char* name);

#endif  // RT_PATH_H_
