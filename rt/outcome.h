// Outcomes: the one list of what the calls of the runtime layer, the
// loader, the key tool, the gateway and the environment library report,
// each with the word that the trace writes for it. The programs and the
// library turn outcomes into their own messages and statuses where they
// give them.
#ifndef RT_OUTCOME_H_
#define RT_OUTCOME_H_

// X(NAME, word), in the order of their values; RT_OK is 0, and every other
// outcome is a reason why something was not done.
#define RT_OUTCOMES(X)                                                       \
  X(RT_OK, "ok")                                                             \
  X(RT_NO_MEMORY, "out-of-memory")                                           \
  /* Text and the environment. */                                            \
  X(RT_UNSET, "unset")                       /* no such variable */          \
  X(RT_NOT_IN_CODE_PAGE, "not-in-code-page") /* the code page lacks it */    \
  X(RT_NOT_TEXT, "not-text") /* bytes or units that are no text at all */   \
  X(RT_REFUSED, "refused")   /* the runtime or the platform refused it */   \
  /* Files and paths. */                                                     \
  X(RT_NOT_FOUND, "not-found")           /* nothing of that name is there */ \
  X(RT_NOT_REGULAR, "not-a-regular-file") /* a directory, FIFO, device */    \
  X(RT_NOT_DIR, "not-a-directory")                                           \
  X(RT_UNREADABLE, "unreadable")                                             \
  X(RT_TOO_LARGE, "too-large")           /* more bytes than the limit */     \
  X(RT_PATH_UNKNOWN, "path-unknown")     /* the platform does not tell it */ \
  X(RT_PATH_TOO_LONG, "path-too-long")                                       \
  X(RT_NO_SEPARATOR, "no-separator")     /* a path without a folder part */  \
  X(RT_EMPTY, "empty")                                                       \
  X(RT_A_DIRECTORY, "a-directory")                                           \
  X(RT_END, "end-of-file")                                                   \
  /* Starting a program. */                                                  \
  X(RT_BATCH_FILE, "batch-file-refused")                                     \
  X(RT_COMMAND_LINE_TOO_LONG, "command-line-too-long")                       \
  X(RT_JOB_NOT_CREATED, "job-not-created")                                   \
  X(RT_JOB_NOT_ASSIGNED, "job-not-assigned")                                 \
  /* The loader's arguments. */                                              \
  X(RT_PASS_BOUND, "pass-bound")                                             \
  X(RT_SOURCE_BOUND, "source-bound")                                         \
  X(RT_TEXT_BOUND, "text-bound")                                             \
  X(RT_UNKNOWN_OPTION, "unknown-option")                                     \
  X(RT_NAME_WITHOUT_VALUE, "name-without-value")                             \
  /* The settings file's lines. */                                           \
  X(RT_EXPANDS_PAST_LIMIT, "expands-past-limit")                             \
  X(RT_COMMENT, "comment")                                                   \
  X(RT_OUTSIDE_SECTION, "outside-section")                                   \
  /* The gateway's request. */                                               \
  X(RT_NO_LENGTH, "no-length")                                               \
  X(RT_LENGTH_NOT_A_NUMBER, "length-not-a-number")

#define RT_OUTCOME_ENUM(name, word) name,
enum { RT_OUTCOMES(RT_OUTCOME_ENUM) RT_OUTCOME_COUNT };
#undef RT_OUTCOME_ENUM

// The trace's word for outcome; "unknown" for a value outside the list.
const char* rt_outcome_word(int outcome);

#endif  // RT_OUTCOME_H_
