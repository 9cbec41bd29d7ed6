// The CGI gateway launcher: the request's CGI variables as system properties
// of the Java interpreter, which runs the handler for tunnelled remote calls.
#ifndef RMI_CGI_GATEWAY_H_
#define RMI_CGI_GATEWAY_H_

#include "rt/outcome.h"

// The number of CGI variables passed on, and of entries in the exec vector
// (the interpreter, one property per variable, the class, a null entry).
#define CGI_VARIABLE_COUNT 18
#define CGI_VECTOR_SIZE (CGI_VARIABLE_COUNT + 3)

// Runs the gateway: starts the interpreter with the exec vector. Where the
// platform replaces the process it returns only on failure; on Windows it
// returns the interpreter's exit status once the interpreter has ended.
// Returns 1 after writing the CGI error response to standard output when the
// vector cannot be allocated ("memory allocation failure"), a CGI value holds
// a character that the active code page lacks ("variable conversion
// failure") or the interpreter cannot be started ("interpreter execution
// failure"); before the
// response it reads and drops the request body from standard input
// (CONTENT_LENGTH bytes, fewer at the end of input; none when the variable is
// unset or not a number), so that a web server writing the body never finds
// the program gone before it is taken. The command-line arguments are
// ignored. With the trace on it traces each variable, the start, its outcome
// and the body dropped.
int cgi_main(int argc, char** argv);

// The name of the i-th CGI variable in the order passed (0 to
// CGI_VARIABLE_COUNT - 1). Never freed; lives until the process exits.
const char* cgi_variable(int i);

// cgi_exec_vector builds no vector when memory runs out (RT_NO_MEMORY) or
// a value holds a character the code page lacks (RT_NOT_IN_CODE_PAGE).

// Builds the exec vector: "java", one property argument per CGI variable
// (an unset one with an empty value), the handler class and a null entry.
// Each property arrives at the interpreter as exactly one argument: -D, the
// name, "=" and the value, exactly as the server set it. Returns RT_OK and sets
// *vector, or one of the reasons above (*vector is then untouched and
// nothing is kept). Returns a new vector; the caller frees it with
// cgi_free_vector().
int cgi_exec_vector(char*** vector);

// Frees a vector from cgi_exec_vector and its property strings.
void cgi_free_vector(char** vector);

// Reads a CONTENT_LENGTH value: decimal digits only (no sign, blank or other
// byte), at least one, and a number that fits. Returns RT_OK and sets
// *length; RT_NO_LENGTH when value is null, RT_LENGTH_NOT_A_NUMBER when it
// is not such a number (*length is then untouched).
int cgi_content_length(const char* value, unsigned long long* length);

// Writes the CGI error response with message to standard output: the status
// line, the content type, an empty line and the message as the body.
// Borrowed; not kept after the call.
void cgi_error_response(const char* message);

#endif  // RMI_CGI_GATEWAY_H_
