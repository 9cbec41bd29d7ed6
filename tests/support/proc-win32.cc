// Test helpers on Windows: CreateProcess with a quoted command line, an
// explicit environment block and files for the standard streams.
#include <windows.h>

#include <direct.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>

#include "tests/support/proc.h"

const char kDirSep[] = "\\";
const char kListSep[] = ";";
const char kNullDevice[] = "NUL";

std::string bin_dir() {
  char buf[MAX_PATH * 4];
  DWORD n = GetModuleFileNameA(NULL, buf, sizeof buf);
  std::string path(buf, n);
  return path.substr(0, path.find_last_of("\\/") + 1);
}

std::string exe_file(const std::string& program) {
  return program + ".exe";
}

std::string lib_file(const std::string& library) {
  return library + ".dll";
}

// Decodes text of the code page, or of UTF-8, into UTF-16.
static std::wstring wide_of(const std::string& text, UINT cp) {
  int n = MultiByteToWideChar(cp, 0, text.data(), (int)text.size(), NULL, 0);
  std::wstring out((size_t)(n > 0 ? n : 0), L'\0');
  if (n > 0) {
    MultiByteToWideChar(cp, 0, text.data(), (int)text.size(), &out[0], n);
  }
  return out;
}

// The text that the helpers take: code-page text, or UTF-8 while a
// Utf8Text lives.
static UINT text_cp = CP_ACP;

Utf8Text::Utf8Text() {
  text_cp = CP_UTF8;
}

Utf8Text::~Utf8Text() {
  text_cp = CP_ACP;
}

// Paths go to the kernel in UTF-16, so that folders deeper than the ANSI
// calls take can be made and their programs run.
static std::wstring wide(const std::string& text) {
  return wide_of(text, text_cp);
}

FILE* open_file(const std::string& path, const char* mode) {
  return _wfopen(wide(path).c_str(), wide_of(mode, CP_ACP).c_str());
}

std::string trail_5c_name() {
  return IsDBCSLeadByte(0x83) && IsDBCSLeadByte(0x95) ? "\x83\x5C\x95\x5C"
                                                       : "";
}

std::string text_mode(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') {
      out += '\r';
    }
    out += c;
  }
  return out;
}

bool make_dirs(const std::string& path) {
  for (size_t i = 0; i <= path.size(); i++) {
    // The second byte of a double-byte character is no separator.
    if (i < path.size() && text_cp == CP_ACP && IsDBCSLeadByte((BYTE)path[i])) {
      i++;
      continue;
    }
    if (i == path.size() || path[i] == '\\' || path[i] == '/') {
      std::string part = path.substr(0, i);
      if (part.empty() || part.back() == ':') {
        continue;
      }
      if (!CreateDirectoryW(wide(part).c_str(), NULL) &&
          GetLastError() != ERROR_ALREADY_EXISTS) {
        return false;
      }
    }
  }
  return true;
}

static void remove_tree(const std::string& dir) {
  WIN32_FIND_DATAA found;
  HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &found);
  if (h != INVALID_HANDLE_VALUE) {
    do {
      std::string name = found.cFileName;
      if (name == "." || name == "..") {
        continue;
      }
      std::string path = dir + "\\" + name;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        remove_tree(path);
      } else {
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(path.c_str());
      }
    } while (FindNextFileA(h, &found));
    FindClose(h);
  }
  RemoveDirectoryA(dir.c_str());
}

std::string scratch_dir(const std::string& name) {
  char cwd[MAX_PATH * 4];
  if (!_getcwd(cwd, sizeof cwd)) {
    return std::string();
  }
  std::string dir = std::string(cwd);
  if (dir.back() != '\\') {
    dir += '\\';
  }
  dir += name;
  remove_tree(dir);
  make_dirs(dir);
  return dir + "\\";
}

bool copy_file(const std::string& from, const std::string& to) {
  return CopyFileW(wide(from).c_str(), wide(to).c_str(), FALSE) != 0;
}

bool remove_file(const std::string& path) {
  return DeleteFileW(wide(path).c_str()) != 0;
}

bool make_unreadable_file(const std::string& path) {
  // Never closed: the hold lasts until the test binary ends.
  HANDLE h;
  if (!write_file(path, "unreadable\n")) {
    return false;
  }
  h = CreateFileW(wide(path).c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING,
                  FILE_ATTRIBUTE_NORMAL, NULL);
  return h != INVALID_HANDLE_VALUE;
}

bool make_fifo(const std::string&) {
  return false;
}

std::string unread_pipe(const std::string&) {
  // The server end stays open, unread, until the test ends; no buffer, so a
  // writer would wait for a reader.
  std::string name = "\\\\.\\pipe\\norvane-unread-" +
                     std::to_string(GetCurrentProcessId());
  HANDLE h = CreateNamedPipeA(name.c_str(), PIPE_ACCESS_INBOUND,
                              PIPE_TYPE_BYTE | PIPE_WAIT,
                              PIPE_UNLIMITED_INSTANCES, 0, 0, 0, NULL);
  return h == INVALID_HANDLE_VALUE ? std::string() : name;
}

// Quotes one argument so that the runtime's command-line parser gives it
// back byte for byte.
static std::string quote_arg(const std::string& arg) {
  if (!arg.empty() && arg.find_first_of(" \t\"") == std::string::npos) {
    return arg;
  }
  std::string out = "\"";
  size_t run = 0;
  for (char c : arg) {
    if (c == '\\') {
      run++;
    } else if (c == '"') {
      out.append(run + 1, '\\');
      run = 0;
    } else {
      run = 0;
    }
    out += c;
  }
  out.append(run, '\\');
  out += '"';
  return out;
}

static std::string utf8_of(const std::wstring& text) {
  int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), (int)text.size(), NULL,
                              0, NULL, NULL);
  std::string out((size_t)(n > 0 ? n : 0), '\0');
  if (n > 0) {
    WideCharToMultiByte(CP_UTF8, 0, text.data(), (int)text.size(), &out[0], n,
                        NULL, NULL);
  }
  return out;
}

std::string env_utf8(const std::string& name) {
  std::wstring wname = wide_of(name, CP_ACP);
  DWORD need = GetEnvironmentVariableW(wname.c_str(), NULL, 0);
  if (need == 0) {
    return GetLastError() == ERROR_ENVVAR_NOT_FOUND ? "(unset)" : "";
  }
  std::wstring value(need, L'\0');
  DWORD got = GetEnvironmentVariableW(wname.c_str(), &value[0], need);
  value.resize(got);
  return utf8_of(value);
}

bool in_code_page(const std::string& utf8, std::string* cp) {
  std::wstring wide = wide_of(utf8, CP_UTF8);
  BOOL defaulted = FALSE;
  int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(),
                              (int)wide.size(), NULL, 0, NULL, &defaulted);
  cp->assign((size_t)(n > 0 ? n : 0), '\0');
  if (n > 0) {
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(),
                        (int)wide.size(), &(*cp)[0], n, NULL, &defaulted);
  }
  return !defaulted && (n > 0 || wide.empty());
}

static bool same_name(const std::wstring& entry, const std::wstring& name) {
  size_t eq = entry.find(L'=', 1);
  if (eq == std::wstring::npos || eq != name.size()) {
    return false;
  }
  return _wcsnicmp(entry.c_str(), name.c_str(), name.size()) == 0;
}

// This process's environment with the changes applied, as a UTF-16
// environment block: entries ended by NUL, the block by an empty entry.
static std::wstring environment_block(const std::vector<EnvChange>& env) {
  std::vector<std::wstring> entries;
  wchar_t* block = GetEnvironmentStringsW();
  for (wchar_t* p = block; *p; p += wcslen(p) + 1) {
    entries.push_back(p);
  }
  FreeEnvironmentStringsW(block);
  for (const EnvChange& e : env) {
    UINT cp = e.utf8 ? CP_UTF8 : CP_ACP;
    std::wstring name = wide_of(e.name, cp);
    entries.erase(std::remove_if(entries.begin(), entries.end(),
                                 [&](const std::wstring& entry) {
                                   return same_name(entry, name);
                                 }),
                  entries.end());
    if (e.set) {
      entries.push_back(name + L"=" + wide_of(e.value, cp));
    }
  }
  std::wstring out;
  for (const std::wstring& entry : entries) {
    out += entry;
    out += L'\0';
  }
  out += L'\0';
  return out;
}

static HANDLE open_inheritable(const std::string& path, bool write) {
  SECURITY_ATTRIBUTES sa = {sizeof sa, NULL, TRUE};
  return CreateFileA(path.c_str(), write ? GENERIC_WRITE : GENERIC_READ,
                     FILE_SHARE_READ | FILE_SHARE_WRITE, &sa,
                     write ? CREATE_ALWAYS : OPEN_EXISTING,
                     FILE_ATTRIBUTE_NORMAL, NULL);
}

// Starts program with the standard handles given (inherited, with every
// inheritable handle of this process) or, when in is null, with none and no
// console, and env applied, in the folder cwd. Returns true on success.
static bool launch(const std::string& program,
                   const std::vector<std::string>& args,
                   const std::vector<EnvChange>& env, const std::string& cwd,
                   HANDLE in, HANDLE out, HANDLE err, PROCESS_INFORMATION* pi) {
  std::string path = program.find_first_of("\\/") == std::string::npos
                         ? bin_dir() + exe_file(program)
                         : program;
  std::string cmdline = quote_arg(path);
  for (const std::string& a : args) {
    cmdline += " " + quote_arg(a);
  }
  std::wstring block = environment_block(env);
  STARTUPINFOW si;
  memset(&si, 0, sizeof si);
  si.cb = sizeof si;
  if (in) {
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = in;
    si.hStdOutput = out;
    si.hStdError = err;
  }
  std::wstring line = wide(cmdline);
  std::wstring folder = wide(cwd);
  DWORD flags = CREATE_UNICODE_ENVIRONMENT | (in ? 0 : DETACHED_PROCESS);
  return CreateProcessW(wide(path).c_str(), &line[0], NULL, NULL,
                        in ? TRUE : FALSE, flags, &block[0], cwd.empty() ? NULL : folder.c_str(), &si,
                        pi) != 0;
}

RunResult run_program(const std::string& program,
                      const std::vector<std::string>& args,
                      const std::vector<EnvChange>& env,
                      const std::string& cwd, bool streams,
                      const std::string& input) {
  static int serial = 0;
  RunResult result;
  char temp[MAX_PATH];
  GetTempPathA(sizeof temp, temp);
  std::string stem = std::string(temp) + "proc-" +
                     std::to_string(GetCurrentProcessId()) + "-" +
                     std::to_string(serial++);
  std::string out_name = stem + ".out";
  std::string err_name = stem + ".err";
  // The child shares the open file, and so its position.
  HANDLE in = open_inheritable(input.empty() ? "NUL" : input, false);
  HANDLE out = open_inheritable(out_name, true);
  HANDLE err = open_inheritable(err_name, true);
  PROCESS_INFORMATION pi;
  // Without streams nothing is inherited and there is no console either.
  bool started = streams ? launch(program, args, env, cwd, in, out, err, &pi)
                         : launch(program, args, env, cwd, NULL, NULL, NULL,
                                  &pi);
  CloseHandle(out);
  CloseHandle(err);
  if (started) {
    DWORD code = (DWORD)-1;
    WaitForSingleObject(pi.hProcess, INFINITE);
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    result.status = (int)code;
  }
  LARGE_INTEGER zero = {}, at;
  if (SetFilePointerEx(in, zero, &at, FILE_CURRENT)) {
    result.input_read = at.QuadPart;
  }
  CloseHandle(in);
  result.out = read_file(out_name);
  result.err = read_file(err_name);
  DeleteFileA(out_name.c_str());
  DeleteFileA(err_name.c_str());
  return result;
}

StartedProgram start_program(const std::string& program,
                             const std::vector<std::string>& args,
                             const std::vector<EnvChange>& env,
                             const std::string& cwd) {
  StartedProgram started;
  HANDLE null = open_inheritable("NUL", true);
  PROCESS_INFORMATION pi;
  if (launch(program, args, env, cwd, null, null, null, &pi)) {
    CloseHandle(pi.hThread);
    started.pid = (long)pi.dwProcessId;
    started.handle = pi.hProcess;
  }
  CloseHandle(null);
  return started;
}

void kill_program(StartedProgram* program) {
  if (program->handle) {
    TerminateProcess((HANDLE)program->handle, 1);
    WaitForSingleObject((HANDLE)program->handle, INFINITE);
    CloseHandle((HANDLE)program->handle);
  }
  program->handle = nullptr;
  program->pid = -1;
}

bool process_running(long pid) {
  HANDLE h = OpenProcess(SYNCHRONIZE, FALSE, (DWORD)pid);
  if (!h) {
    return false;
  }
  bool running = WaitForSingleObject(h, 0) == WAIT_TIMEOUT;
  CloseHandle(h);
  return running;
}

void end_process(long pid) {
  HANDLE h = OpenProcess(PROCESS_TERMINATE, FALSE, (DWORD)pid);
  if (h) {
    TerminateProcess(h, 1);
    CloseHandle(h);
  }
}

void pause_ms(int ms) {
  Sleep((DWORD)ms);
}
