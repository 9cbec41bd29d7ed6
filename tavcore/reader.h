// The settings file reader: every assignment of a settings file's
// [Environment] section, its references expanded, put into the process
// environment.
#ifndef TAVCORE_READER_H_
#define TAVCORE_READER_H_

// Reads the file name in the directory part of directory (environment text,
// opened by its exact name) and puts every
// assignment of its [Environment] section into the environment. A line
// whose expansion would pass TAV_MAX_EXPANDED_LINE bytes is skipped whole,
// and reading goes on with the next. The file must be a regular one: a
// FIFO, a device or a directory is treated as missing. Everything the read
// holds is released when it ends. Returns 0 when the file was read to its
// end, whatever it held; 1 when it cannot be opened (nothing has changed)
// or when memory ran out (reading stopped there; earlier lines have been
// applied). Borrowed; not kept after the call. Not to be entered from two
// threads, as the environment is not.
int tav_load_settings(const char* directory, const char* file_name);

#endif  // TAVCORE_READER_H_
