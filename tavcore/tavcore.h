// The environment library's interface for the product's programs: the
// settings file applied to the calling process, its class paths, and the
// library's own runtime for strings and the environment.
//
// The library shares the C runtime (msvcrt on Windows) with its callers:
// strings that it returns are freed with that runtime's free(), and changes
// made through TAV_putenv are seen by the caller's getenv(). No export is to
// be called from two threads at once.
#ifndef TAVCORE_TAVCORE_H_
#define TAVCORE_TAVCORE_H_

// On Windows the names and ordinals come from tavcore.def; elsewhere the
// library is built with hidden visibility and exports these names alone.
#if defined(_WIN32) && defined(__cplusplus)
#define TAV_API extern "C"
#elif defined(_WIN32)
#define TAV_API extern
#elif defined(__cplusplus)
#define TAV_API extern "C" __attribute__((visibility("default")))
#else
#define TAV_API extern __attribute__((visibility("default")))
#endif

// The most bytes one line of the settings file may make once its %NAME%
// references are expanded: the most that the Windows environment holds in one
// variable. A line that would make more is not applied (nor, when it is a
// section header, obeyed), and reading goes on with the next line; so a file
// of a few hundred bytes whose values double line by line stays bounded.
#define TAV_MAX_EXPANDED_LINE 32767

// Applies the [Environment] section of "vorel.ini" in the folder
// ..\..\bin\ beside the process's main executable to the environment, the
// first time it is called or whenever force is nonzero. Returns 0 when the
// file was read or nothing was to be done; 1 when it cannot be opened (or
// its folder cannot be named within the 260-byte path limit, or memory ran
// out while it was read). A failed first attempt is not retried unless
// forced.
TAV_API int TAVInitializeEnvironment(int force);

// Applies the settings file if that has not been done, then returns the
// value of CLASSPATH, or null when it is not set. Points into the
// environment; valid until the variable next changes.
TAV_API const char* TAVGetClasspath(void);

// Applies the settings file if that has not been done, then returns
// CLASSPATH (or "." when it is not set) followed by the classes folder and
// the lib\classes.zip archive beside the settings folder:
// "VALUE;BASE\..\classes;BASE\..\lib\classes.zip" (":" and "/" on POSIX).
// When the settings folder cannot be named, the result is the value alone.
// Returns a new string; the caller frees it with free(). Null when out of
// memory.
TAV_API char* TAVGetExtendedClasspath(void);

// Copies text as the runtime's strdup does; null gives null. Returns a new
// string; the caller frees it with free(). Null when out of memory.
TAV_API char* TAV_strdup(const char* text);

// Sets, replaces or removes a variable as the runtime's _putenv does:
// "NAME=VALUE" sets, "NAME=" removes; names match without regard to case.
// Returns 0 when done, -1 when refused (no "=", an empty name, a null
// argument) or out of memory. Belongs to the environment after the call;
// never freed. A string that is refused, or that removes a variable, is not
// kept: the caller may free it after the call.
TAV_API int TAV_putenv(char* assignment);

#endif  // TAVCORE_TAVCORE_H_
