// The host's log writer, as libraries of the platform see it.
//
// The host owns the writer and installs it in g_ptrLogWriter before it calls
// into any library; libraries reach it through g_ptrLogWriter.get() on every
// use and never reset it. A writer must accept concurrent calls.
#ifndef EBPLATFORM_CLOGWRITERINTERFACE_H
#define EBPLATFORM_CLOGWRITERINTERFACE_H

#include <boost/shared_ptr.hpp>

class CLogWriterInterface {
 public:
  virtual ~CLogWriterInterface() = default;

  // Writes one line. `function` is the caller's full signature, `line` its
  // source line; the two reserved arguments are always 0. The writer writes
  // what it is given: callers decide, through getLevel(), what to write.
  virtual void writeLog(int level, const char* function, int line, int reserved1, int reserved2,
                        const char* format, ...) __attribute__((format(printf, 7, 8))) = 0;

  // The level up to which callers should write: a line of level L is wanted
  // when getLevel() >= L.
  virtual int getLevel() = 0;
};

// Initialised to a writer that prints level -1 lines to stderr.
extern boost::shared_ptr<CLogWriterInterface> g_ptrLogWriter;

#endif  // EBPLATFORM_CLOGWRITERINTERFACE_H
