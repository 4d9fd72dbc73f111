// Fixtures shared by the tests.
#ifndef EXTENTBROWSE_TESTS_SUPPORT_TESTSUPPORT_H
#define EXTENTBROWSE_TESTS_SUPPORT_TESTSUPPORT_H

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <boost/shared_ptr.hpp>

#include "LogWriters.h"
#include "extentbrowse/SCParams.h"

namespace ebtest {

// Installs a capturing log writer for the scope of one test and puts the
// previous writer back afterwards.
class ScopedLogCapture {
 public:
  explicit ScopedLogCapture(int level = 5);
  ~ScopedLogCapture();
  ScopedLogCapture(const ScopedLogCapture&) = delete;
  ScopedLogCapture& operator=(const ScopedLogCapture&) = delete;

  CCaptureLogWriter& writer() { return *writer_; }
  void setLevel(int level) { writer_->setLevel(level); }
  std::vector<std::string> messages() const { return writer_->messages(); }
  std::size_t count(const std::string& message) const { return writer_->count(message); }
  std::size_t countPrefix(const std::string& prefix) const { return writer_->countPrefix(prefix); }
  bool contains(const std::string& message) const { return writer_->contains(message); }
  // Position of the first line equal to `message`, or -1.
  int indexOf(const std::string& message) const;
  void clear() { writer_->clear(); }

 private:
  boost::shared_ptr<CCaptureLogWriter> writer_;
  boost::shared_ptr<CLogWriterInterface> previous_;
};

// A test that captures the log at the finest level.
class LoggingTest : public ::testing::Test {
 protected:
  ScopedLogCapture log{5};
};

SCParams MakeParams(int appType);

}  // namespace ebtest

#endif  // EXTENTBROWSE_TESTS_SUPPORT_TESTSUPPORT_H
