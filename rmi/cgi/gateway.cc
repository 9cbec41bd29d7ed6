// The CGI gateway launcher's main line: the exec vector of the interpreter,
// its start, and the error response when it cannot be started.
#include "rmi/cgi/gateway.h"

#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "rt/rt.h"
#include "rt/trace.h"

static const char kInterpreter[] = "java";
static const char kHandlerClass[] = "sun.rmi.transport.proxy.CGIHandler";
static const char kTraceName[] = "gatelet_g";

static const char* const kVariables[CGI_VARIABLE_COUNT] = {
    "AUTH_TYPE",         "CONTENT_LENGTH",  "CONTENT_TYPE",
    "GATEWAY_INTERFACE", "HTTP_ACCEPT",     "PATH_INFO",
    "PATH_TRANSLATED",   "QUERY_STRING",    "REMOTE_ADDR",
    "REMOTE_HOST",       "REMOTE_IDENT",    "REMOTE_USER",
    "REQUEST_METHOD",    "SCRIPT_NAME",     "SERVER_NAME",
    "SERVER_PORT",       "SERVER_PROTOCOL", "SERVER_SOFTWARE",
};

const char* cgi_variable(int i) {
  return kVariables[i];
}

void cgi_error_response(const char* message) {
  printf("Status: 500 Server Error: %s\n", message);
  printf("Content-type: text/plain\n");
  printf("\n");
  printf("%s", message);
  fflush(stdout);
}

int cgi_content_length(const char* value, unsigned long long* length) {
  unsigned long long n = 0;
  if (!value || !*value) {
    return 1;
  }
  for (const char* p = value; *p; p++) {
    unsigned digit = (unsigned)(unsigned char)*p - '0';
    if (digit > 9 || n > (ULLONG_MAX - digit) / 10) {
      return 1;
    }
    n = n * 10 + digit;
  }
  *length = n;
  return 0;
}

// Reads and drops the request body before the error response. A web server
// that writes the body while the program runs (Apache's mod_cgid) may throw
// away the answer of a program that ends without taking it all. The body is
// CONTENT_LENGTH bytes; without a length there is none to read.
static void discard_request_body(void) {
  const char* value = rt_getenv("CONTENT_LENGTH");
  unsigned long long length;
  if (cgi_content_length(value, &length)) {
    rt_trace(kTraceName, "request body not read reason=%s",
             value ? "length-not-a-number" : "no-length");
    return;
  }
  rt_trace(kTraceName, "request body discarded bytes=%U of=%U",
           rt_discard_input(length), length);
}

// Answers the request with the error response, the body taken first.
static int fail_request(const char* message) {
  discard_request_body();
  cgi_error_response(message);
  return 1;
}

int cgi_exec_vector(char*** vector) {
  char** entries = (char**)calloc(CGI_VECTOR_SIZE, sizeof(char*));
  char prefix[32];
  int n = 0;
  int rc = CGI_NO_MEMORY;
  if (!entries) {
    return CGI_NO_MEMORY;
  }
  entries[n++] = (char*)kInterpreter;
  for (int i = 0; i < CGI_VARIABLE_COUNT; i++) {
    size_t plen = strlen(kVariables[i]) + 3;
    int found;
    memcpy(prefix, "-D", 2);
    memcpy(prefix + 2, kVariables[i], plen - 3);
    memcpy(prefix + plen - 1, "=", 2);
    // The value comes from the remote client. It goes into the vector as it
    // is, after -DNAME=: rt_exec hands each entry to the interpreter whole
    // as one argument, whatever its bytes. It reaches the interpreter as
    // code-page text: one that the code page cannot hold exactly is not
    // passed in another form, which a filter in front of the server never
    // saw.
    found = rt_getenv_exact(kVariables[i], prefix, &entries[n]);
    if (found == RT_ENV_NO_MEMORY) {
      goto fail;
    }
    if (found == RT_ENV_NOT_EXACT) {
      rt_trace(kTraceName, "variable %s not passed reason=not-in-code-page "
               "value=%q", kVariables[i], entries[n] + plen);
      rc = CGI_NOT_IN_CODE_PAGE;
      goto fail;
    }
    if (found == RT_ENV_UNSET) {
      rt_trace(kTraceName, "variable %s value=%q", kVariables[i],
               (const char*)NULL);
      entries[n] = strdup(prefix);
      if (!entries[n]) {
        goto fail;
      }
    } else {
      rt_trace(kTraceName, "variable %s value=%q", kVariables[i],
               entries[n] + plen);
    }
    n++;
  }
  entries[n++] = (char*)kHandlerClass;
  entries[n] = NULL;
  *vector = entries;
  return 0;

fail:
  // Nothing of a partial vector is used or kept.
  cgi_free_vector(entries);
  return rc;
}

void cgi_free_vector(char** vector) {
  // Entry 0 and the class are literals; properties not yet made are null.
  for (int i = 1; i <= CGI_VARIABLE_COUNT; i++) {
    free(vector[i]);
  }
  free(vector);
}

// The words that the trace gives the reasons of rt_exec.
static const char* not_started_reason(int reason) {
  switch (reason) {
    case RT_EXEC_NOT_FOUND:
      return "not-found";
    case RT_EXEC_BATCH_FILE:
      return "batch-file-refused";
    case RT_EXEC_TOO_LONG:
      return "command-line-too-long";
    case RT_EXEC_NO_MEMORY:
      return "out-of-memory";
    default:
      return "refused-by-platform";
  }
}

static void trace_starting(const char* program, const char* command_line) {
  rt_trace(kTraceName, "interpreter found=%q", program);
  rt_trace(kTraceName, "command line=%q", command_line);
}

static void trace_untied(const char* reason) {
  rt_trace(kTraceName, "interpreter not tied to the gateway reason=%s",
           reason);
}

int cgi_main(int argc, char** argv) {
  char** vector;
  // The command line is joined for the trace only when there is one.
  RtExecReport report = {rt_trace_on() ? trace_starting : NULL, trace_untied,
                         0};
  int status = 1;
  int failed;
  (void)argc;
  (void)argv;
  switch (cgi_exec_vector(&vector)) {
    case CGI_NO_MEMORY:
      rt_trace(kTraceName, "interpreter not started reason=out-of-memory");
      return fail_request("memory allocation failure");
    case CGI_NOT_IN_CODE_PAGE:
      rt_trace(kTraceName,
               "interpreter not started reason=variable-not-in-code-page");
      return fail_request("variable conversion failure");
  }
  rt_trace(kTraceName, "exec program=%q %v", kInterpreter, CGI_VECTOR_SIZE - 1,
           vector);
  // On Windows the interpreter runs as a child with this process's standard
  // streams, and its status becomes the gateway's, so that the web server
  // sees the request end when the interpreter's answer does.
  failed = rt_exec(kInterpreter, vector, &status, &report);
  cgi_free_vector(vector);
  if (failed) {
    rt_trace(kTraceName, "interpreter not started reason=%s",
             not_started_reason(report.reason));
    return fail_request("interpreter execution failure");
  }
  rt_trace(kTraceName, "interpreter ended status=%d", status);
  return status;
}
