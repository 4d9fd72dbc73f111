// Ending a session by signal without losing what it learnt.
//
// SIGINT, SIGTERM and SIGHUP only note the signal and wake the line reader;
// the session then stops between commands and the main flow saves the
// cache, which a signal handler could not do safely. Further signals only
// note again, so a save under way is never cut short.
#ifndef EXTENTBROWSE_TOOLS_SIGNALS_H
#define EXTENTBROWSE_TOOLS_SIGNALS_H

// Installs the handlers; call once, before anything that may wait (the
// catalogue may be read from a pipe).
void InstallStopSignals();

// Makes SIGINT an interrupt that the session takes back (TakeInterrupt)
// instead of an end: for a person at a terminal, as in a shell. SIGTERM and
// SIGHUP still end the session, even after a SIGINT.
void InterruptKeepsSession();

// When InterruptKeepsSession is on and SIGINT is the signal received,
// forgets it, so that StopSignal() is 0 again, and returns true.
bool TakeInterrupt();

// Makes a write to a closed pipe fail with EPIPE, and one past the file
// size limit (ulimit -f) with EFBIG, instead of killing the process: the
// tool says what failed, and a save keeps the old file. Call before
// anything is written.
void IgnoreWriteSignals();

// The first stop signal received, or 0.
int StopSignal();

// Whether a stop signal ends the session: one came, and it is not an
// interrupt that the session takes back (see InterruptKeepsSession).
bool StopEndsSession();

// A descriptor that becomes readable once a stop signal has arrived, for
// readers that wait on standard input; -1 before InstallStopSignals.
int StopSignalFd();

enum class Wait { kReady, kStop, kTimeout, kError };

// Waits until `fd` has something to read (or its writer went away), until a
// stop signal arrived, or for at most `timeoutMs` (-1: no limit). kError
// leaves errno set.
Wait WaitToRead(int fd, int timeoutMs);

#endif  // EXTENTBROWSE_TOOLS_SIGNALS_H
