// Helpers shared by the fuzz targets: ownership of what the code under test
// keeps by design, a private folder, and the process environment put back
// after each input.
#ifndef FUZZ_SUPPORT_H_
#define FUZZ_SUPPORT_H_

#include <string>

// From fz_keep_begin to fz_keep_end, every block allocated and not freed is
// remembered; fz_keep_end frees them all. The code under test keeps some
// memory for the life of the process (expansion texts, environment strings);
// a fuzzer runs it millions of times in one process and must not grow.
void fz_keep_begin();
void fz_keep_end();

// A new private folder under the system's temporary folder, with a trailing
// "/". Ends the process when it cannot be made.
std::string fz_private_dir(const char* name);

// Writes bytes to path, replacing it. Ends the process on failure.
void fz_write(const std::string& path, const std::string& bytes);

// Records the environment as it is now, and puts it back as recorded: every
// variable added since is removed, every one changed gets its old value.
void fz_env_record();
void fz_env_restore();

// Tells whether entry ("NAME=VALUE") was in the environment when recorded.
bool fz_env_recorded(const char* entry);

// Ends the process with a message when ok is false, so that the fuzzer
// records the input as a finding.
void fz_check(bool ok, const char* what);

#endif  // FUZZ_SUPPORT_H_
