#include "Signals.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <unistd.h>
#include <cerrno>
#include <csignal>
#include <initializer_list>

namespace {

volatile std::sig_atomic_t gSignal = 0;
volatile std::sig_atomic_t gInterruptKeepsSession = 0;
int gWake[2] = {-1, -1};

extern "C" void OnStopSignal(int signal) {
  const int savedErrno = errno;
  // An interrupt the session would take back must not hide an end.
  if (gSignal == 0 || (gInterruptKeepsSession && gSignal == SIGINT)) gSignal = signal;
  // The pipe is non-blocking: once it is full, the reader has been woken.
  const char byte = 0;
  if (write(gWake[1], &byte, 1) < 0) {
  }
  errno = savedErrno;
}

}  // namespace

void InstallStopSignals() {
  if (gWake[0] >= 0) return;
  if (pipe2(gWake, O_CLOEXEC | O_NONBLOCK) != 0) gWake[0] = gWake[1] = -1;

  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  // One handler at a time, so the first signal is the one kept.
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&action.sa_mask, signal);
  // Readers wait on the pipe as well as on their input, so interrupted
  // calls elsewhere (the library's, a save's) can simply resume.
  action.sa_flags = SA_RESTART;
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
}

void InterruptKeepsSession() { gInterruptKeepsSession = 1; }

bool TakeInterrupt() {
  // Blocked, so that a SIGTERM cannot land between the test and the reset.
  sigset_t stops;
  sigset_t previous;
  sigemptyset(&stops);
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&stops, signal);
  pthread_sigmask(SIG_BLOCK, &stops, &previous);
  const bool taken = gInterruptKeepsSession && gSignal == SIGINT;
  if (taken) {
    gSignal = 0;
    char drained[64];
    while (gWake[0] >= 0 && read(gWake[0], drained, sizeof drained) > 0) {
    }
  }
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  return taken;
}

void IgnoreWriteSignals() {
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  for (const int signal : {SIGPIPE, SIGXFSZ}) sigaction(signal, &ignore, nullptr);
}

int StopSignal() { return gSignal; }

bool StopEndsSession() {
  const int signal = gSignal;
  return signal != 0 && !(gInterruptKeepsSession && signal == SIGINT);
}

int StopSignalFd() { return gWake[0]; }

Wait WaitToRead(int fd, int timeoutMs) {
  for (;;) {
    // The signal's pipe closes the race between this test and the wait.
    if (StopSignal() != 0) return Wait::kStop;
    pollfd fds[2] = {{fd, POLLIN, 0}, {gWake[0], POLLIN, 0}};
    const int ready = poll(fds, gWake[0] >= 0 ? 2 : 1, timeoutMs);
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0) return Wait::kError;
    if (ready == 0) return Wait::kTimeout;
    if (fds[1].revents != 0 || StopSignal() != 0) return Wait::kStop;
    return Wait::kReady;
  }
}
