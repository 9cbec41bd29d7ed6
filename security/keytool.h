// The key tool launcher: the class path from the launcher's own location, the
// Java home, and the launch vector that runs the key management class.
#ifndef SECURITY_KEYTOOL_H_
#define SECURITY_KEYTOOL_H_

#include <stddef.h>

// Runs the key tool launcher on an argument list: sets CLASSPATH, checks
// JAVA_HOME and hands the launch vector to the VM. Returns the VM's status,
// or 1 after writing a message to standard error when JAVA_HOME is invalid or
// the launcher's own directory cannot be found (the VM is then not started).
// Ends the process with status 1 when memory runs out.
int sec_main(int argc, char** argv);

// Writes "*** Not enough memory to start quillan ***" to standard error and
// ends the process with status 1.
void sec_out_of_memory(void);

// The checked allocator: returns size bytes, or writes "*** Not enough memory
// to start quillan ***" to standard error and ends the process with status 1.
// Never freed; lives until the process exits.
void* sec_alloc(size_t size);

// Writes the directory of the running executable, without its trailing
// separator, into dir (RT_PATH_MAX bytes). Returns 0, or 1 when the path is
// unknown, does not fit or holds no separator; dir then holds the empty
// string.
int sec_program_dir(char* dir);

// Builds the "CLASSPATH=" assignment in environment text: the old value
// first when there is one (old is null when CLASSPATH is unset; an empty old
// value still leads), then the classes folder, classes.zip and rt.jar beside
// dir. Returns a new string; the caller frees it with free().
char* sec_class_path(const char* old, const char* dir);

// Works out the Java home: the value of JAVA_HOME exactly as set when it names
// an existing directory, or dir followed by the parent folder when JAVA_HOME
// is unset. Returns 0 and sets *home, or 1 when JAVA_HOME is set but empty,
// names no directory or holds a character that the code page lacks; *home
// is then the value as a message shows it ("?" for such a character).
// *home is never freed.
int sec_java_home(const char* dir, const char** home);

// Builds the launch vector for the key management class: the fixed head with
// the java.home property, every -J and -D argument (a -J one without its
// first two characters) in the order given, the class name, then the
// remaining arguments in order. Sets *count to the number of entries; no null
// entry follows them. The vector and the property are never freed; the other
// entries are literals or borrowed from argv.
char** sec_launch_vector(int argc, char** argv, const char* home, int* count);

#endif  // SECURITY_KEYTOOL_H_
