// The name that starts the trace lines of every part of the library.
#ifndef TAVCORE_TRACE_NAME_H_
#define TAVCORE_TRACE_NAME_H_

#define TAV_TRACE_NAME "tavcore"

#endif  // TAVCORE_TRACE_NAME_H_
