// The key tool launcher: the class path from the launcher's own location, the
// Java home, and the launch vector that runs the key management class.
#ifndef SECURITY_KEYTOOL_H_
#define SECURITY_KEYTOOL_H_

#include <stddef.h>

// Runs the key tool launcher on an argument list: sets CLASSPATH, checks
// JAVA_HOME and hands the launch vector to the VM. Returns the VM's status,
// or 1 after writing a message to standard error when JAVA_HOME is invalid,
// the launcher's own directory cannot be found, or the Java home or an
// argument has no exact form in the code page (the VM is then not started).
// Ends the process with status 1 when memory runs out.
int sec_main(int argc, char** argv);

// Writes "*** Not enough memory to start quillan ***" to standard error and
// ends the process with status 1.
void sec_out_of_memory(void);

// The checked allocator: returns size bytes, or writes "*** Not enough memory
// to start quillan ***" to standard error and ends the process with status 1.
// Never freed; lives until the process exits.
void* sec_alloc(size_t size);

// Sets *dir to the directory of the running executable in environment text,
// without its trailing separator. Returns 0, or 1 when the path is unknown,
// does not fit or holds no separator (*dir is then null). Never freed.
int sec_program_dir(char** dir);

// Builds the "CLASSPATH=" assignment in environment text: the old value
// first when there is one (old is null when CLASSPATH is unset; an empty old
// value still leads), then the classes folder, classes.zip and rt.jar beside
// dir. Returns a new string; the caller frees it with free().
char* sec_class_path(const char* old, const char* dir);

// What sec_java_home found besides a Java home.
#define SEC_HOME_INVALID 1           // JAVA_HOME is empty or no directory
#define SEC_HOME_NOT_IN_CODE_PAGE 2  // the home has no form in the code page

// Works out the Java home as the VM is given it, in code-page text: the
// value of JAVA_HOME exactly as set when it names an existing directory, or
// dir (environment text) followed by the parent folder when JAVA_HOME is
// unset; a path that the code page cannot hold is given by its short name.
// Returns 0 and sets *home; SEC_HOME_INVALID when JAVA_HOME is set but
// empty, names no directory, or the code page holds neither it nor its
// short name; SEC_HOME_NOT_IN_CODE_PAGE when that is so of the home beside
// dir. *home is then the home as a message shows it ("?" for a character
// the code page lacks). *home is never freed.
int sec_java_home(const char* dir, const char** home);

// Builds the launch vector for the key management class: the fixed head with
// the java.home property, every -J and -D argument (a -J one without its
// first two characters) in the order given, the class name, then the
// remaining arguments in order. Sets *count to the number of entries; no null
// entry follows them. The vector and the property are never freed; the other
// entries are literals or borrowed from argv.
char** sec_launch_vector(int argc, char** argv, const char* home, int* count);

#endif  // SECURITY_KEYTOOL_H_
