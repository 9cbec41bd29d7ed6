// The running program's own folder and the paths that lie beside it: the
// product's classes folder and archives, one level up from that folder.
// Plain code for every platform, on the layer's rt_exe_path.
#ifndef RT_BESIDE_H_
#define RT_BESIDE_H_

#include <stddef.h>

#include "rt/outcome.h"

// Sets *exe to the running program's path (rt_exe_path) and *keep to the
// length of its folder part, the last separator included. Returns RT_OK;
// RT_NO_SEPARATOR, with *exe still set for messages, when the path has no
// folder part; or what rt_exe_path gave, with *exe null. The caller frees
// *exe with free().
int rt_program_folder(char** exe, size_t* keep);

// How many entries rt_put_beside can write.
#define RT_BESIDE_COUNT 3

// The length of what rt_put_beside writes for a folder of dir_len bytes,
// without the terminator.
size_t rt_beside_length(size_t dir_len, int count);

// Writes at out the first count (at most RT_BESIDE_COUNT) of the entries
// beside the folder dir (dir_len bytes): dir\..\classes,
// dir\..\lib\classes.zip and dir\..\lib\rt.jar ("/" on POSIX), joined by
// the list separator, then a terminator. Returns the end of the text, where
// the terminator stands.
char* rt_put_beside(char* out, const char* dir, size_t dir_len, int count);

#endif  // RT_BESIDE_H_
