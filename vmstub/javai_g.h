// The VM library's entry points as the launchers call them. The library is
// found by name beside the programs; the project's own build is a dry run.
#ifndef VMSTUB_JAVAI_G_H_
#define VMSTUB_JAVAI_G_H_

#if defined(_WIN32) && defined(JAVAI_G_BUILD)
#define JAVAI_G_API extern "C" __declspec(dllexport)
#elif defined(_WIN32)
#define JAVAI_G_API extern "C" __declspec(dllimport)
#else
#define JAVAI_G_API extern "C" __attribute__((visibility("default")))
#endif

// Runs the VM on the launch vector (count entries; the count is
// authoritative) and returns its status. Borrowed; not kept after the call.
JAVAI_G_API int java_main(int count, char** vector);

// Ends the process with status.
JAVAI_G_API void sysExit(int status);

#endif  // VMSTUB_JAVAI_G_H_
