// The CGI gateway launcher's main line: the exec vector of the interpreter,
// its start, and the error response when it cannot be started.
#include "rmi/cgi/gateway.h"

#include <limits.h>
#include <stdio.h>
#include <stdlib.h>

#include "rt/rt.h"
#include "rt/trace.h"

static const char kInterpreter[] = "java";
static const char kHandlerClass[] = "sun.rmi.transport.proxy.CGIHandler";
static const char kTraceName[] = "gatelet_g";

// The CGI variables in the order passed, each with its property's prefix.
#define CGI_VARIABLES(X)                                                  \
  X(AUTH_TYPE) X(CONTENT_LENGTH) X(CONTENT_TYPE) X(GATEWAY_INTERFACE)     \
  X(HTTP_ACCEPT) X(PATH_INFO) X(PATH_TRANSLATED) X(QUERY_STRING)          \
  X(REMOTE_ADDR) X(REMOTE_HOST) X(REMOTE_IDENT) X(REMOTE_USER)            \
  X(REQUEST_METHOD) X(SCRIPT_NAME) X(SERVER_NAME) X(SERVER_PORT)          \
  X(SERVER_PROTOCOL) X(SERVER_SOFTWARE)
#define CGI_NAME(name) #name,
#define CGI_PREFIX(name) "-D" #name "=",
#define CGI_PREFIX_LENGTH(name) sizeof("-D" #name "=") - 1,
static const char* const kVariables[CGI_VARIABLE_COUNT] = {
    CGI_VARIABLES(CGI_NAME)};
static const char* const kPrefixes[CGI_VARIABLE_COUNT] = {
    CGI_VARIABLES(CGI_PREFIX)};
static const unsigned char kPrefixLengths[CGI_VARIABLE_COUNT] = {
    CGI_VARIABLES(CGI_PREFIX_LENGTH)};

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
  if (!value) {
    return RT_NO_LENGTH;
  }
  if (!*value) {
    return RT_LENGTH_NOT_A_NUMBER;
  }
  for (const char* p = value; *p; p++) {
    unsigned digit = (unsigned)(unsigned char)*p - '0';
    if (digit > 9 || n > (ULLONG_MAX - digit) / 10) {
      return RT_LENGTH_NOT_A_NUMBER;
    }
    n = n * 10 + digit;
  }
  *length = n;
  return RT_OK;
}

// Reads and drops the request body before the error response. A web server
// that writes the body while the program runs (Apache's mod_cgid) may throw
// away the answer of a program that ends without taking it all. The body is
// CONTENT_LENGTH bytes; without a length there is none to read.
static void discard_request_body(void) {
  const char* value = rt_getenv("CONTENT_LENGTH");
  unsigned long long length;
  int rc = cgi_content_length(value, &length);
  if (rc != RT_OK) {
    rt_trace(kTraceName, "request body not read reason=%s",
             rt_outcome_word(rc));
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
  char** entries = (char**)malloc(CGI_VECTOR_SIZE * sizeof(char*));
  char** properties = entries + 1;
  int found[CGI_VARIABLE_COUNT];
  int tracing = rt_trace_on();
  if (!entries) {
    return RT_NO_MEMORY;
  }
  // The values come from the remote client. Each goes into the vector as it
  // is, after -DNAME=: rt_exec hands each entry to the interpreter whole as
  // one argument, whatever its bytes. It reaches the interpreter as
  // code-page text: one that the code page cannot hold exactly is not passed
  // in another form, which a filter in front of the server never saw.
  if (rt_getenv_exact_list(CGI_VARIABLE_COUNT, kVariables, kPrefixes, found,
                           properties) != RT_OK) {
    free(entries);
    return RT_NO_MEMORY;
  }
  for (int i = 0; i < CGI_VARIABLE_COUNT; i++) {
    const char* value = properties[i] + kPrefixLengths[i];
    if (found[i] == RT_NOT_IN_CODE_PAGE) {
      rt_trace(kTraceName, "variable %s not passed reason=%s value=%q",
               kVariables[i], rt_outcome_word(found[i]), value);
      // Nothing of a vector that is not used is kept.
      free(properties[0]);
      free(entries);
      return RT_NOT_IN_CODE_PAGE;
    }
    if (tracing) {
      rt_trace(kTraceName, "variable %s value=%q", kVariables[i],
               found[i] == RT_UNSET ? NULL : value);
    }
  }
  entries[0] = (char*)kInterpreter;
  entries[CGI_VARIABLE_COUNT + 1] = (char*)kHandlerClass;
  entries[CGI_VARIABLE_COUNT + 2] = NULL;
  *vector = entries;
  return RT_OK;
}

void cgi_free_vector(char** vector) {
  // The properties lie in one block, which begins with the first; entry 0
  // and the class are literals.
  free(vector[1]);
  free(vector);
}

static void trace_starting(const char* program, const char* command_line) {
  rt_trace(kTraceName, "interpreter found=%q", program);
  rt_trace(kTraceName, "command line=%q", command_line);
}

static void trace_untied(int why) {
  rt_trace(kTraceName, "interpreter not tied to the gateway reason=%s",
           rt_outcome_word(why));
}

int cgi_main(int argc, char** argv) {
  char** vector;
  // The command line is joined for the trace only when there is one.
  RtExecReport report = {rt_trace_on() ? trace_starting : NULL,
                         trace_untied};
  int status = 1;
  int rc;
  (void)argc;
  (void)argv;
  rc = cgi_exec_vector(&vector);
  if (rc != RT_OK) {
    rt_trace(kTraceName, "interpreter not started reason=%s",
             rt_outcome_word(rc));
    return fail_request(rc == RT_NO_MEMORY ? "memory allocation failure"
                                           : "variable conversion failure");
  }
  rt_trace(kTraceName, "exec program=%q %v", kInterpreter, CGI_VECTOR_SIZE - 1,
           vector);
  // On Windows the interpreter runs as a child with this process's standard
  // streams, and its status becomes the gateway's, so that the web server
  // sees the request end when the interpreter's answer does.
  rc = rt_exec(kInterpreter, vector, &status, &report);
  cgi_free_vector(vector);
  if (rc != RT_OK) {
    rt_trace(kTraceName, "interpreter not started reason=%s",
             rt_outcome_word(rc));
    return fail_request("interpreter execution failure");
  }
  rt_trace(kTraceName, "interpreter ended status=%d", status);
  return status;
}
