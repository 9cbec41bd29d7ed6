// Expansion of %NAME% references in environment text, and the ASCII case
// rules that names follow.
#ifndef TAVCORE_EXPAND_H_
#define TAVCORE_EXPAND_H_

#include <stddef.h>

#include "rt/outcome.h"

// How often one expansion inserts a settings directory that itself holds a
// "%". Such a directory can feed itself without end; past this count its
// references stay as they stand.
#define TAV_MAX_DIR_INSERTS 64

// Replaces every %NAME% reference in text (environment text), rescanning
// inserted text: by tav_lookup(NAME, at_p) when resolve is nonzero, by
// nothing otherwise. at_p is what %@P% stands for. A reference whose
// replacement equals it without regard to case stays. Takes time in
// proportion to the text read and inserted. Returns RT_OK and sets
// *result to a new string that the caller frees with free();
// RT_EXPANDS_PAST_LIMIT when the result, or all the text inserted on the
// way, would pass limit bytes (SIZE_MAX sets no limit); RT_NOT_TEXT when a
// variable's value has no exact form in environment text (a lone UTF-16
// surrogate on Windows, bytes that are no text in the code page);
// RT_NO_MEMORY when out of memory.
// *result is null on failure. text and at_p are borrowed; not kept after
// the call.
int tav_expand(const char* text, int resolve, const char* at_p, size_t limit,
               char** result);

// tav_expand with resolve on, for code-page text that holds bytes which are
// no text in the code page: the bytes stay as they are, variables are read
// as code-page text, and at_p is code-page text too, or null when the code
// page cannot hold it. A value, or %@P%, that the code page cannot hold
// exactly gives RT_NOT_IN_CODE_PAGE.
int tav_expand_code_page(const char* text, const char* at_p, size_t limit,
                         char** result);

// The value that %name% stands for: at_p when name is "@P" in any case,
// otherwise the value of the variable name upper-cased with its own
// references removed, or the empty string when it is not set. Returns a new
// string; the caller frees it with free(). Null when out of memory or when
// the value has no exact form.
char* tav_lookup(const char* name, const char* at_p);

// Turns the ASCII lower-case letters of [begin, end) into upper case in
// place. No other byte changes: in UTF-8 and in double-byte code pages a
// byte of a longer character may look like a letter of another locale.
// With code_page the text is code-page text, whose double-byte characters
// stay whole even where the second byte is a letter.
void tav_upper(char* begin, const char* end, int code_page);

// Tells whether the n bytes at a and b are equal when ASCII letters are
// compared without regard to case. Returns 1 or 0.
int tav_same_text(const char* a, const char* b, size_t n);

#endif  // TAVCORE_EXPAND_H_
