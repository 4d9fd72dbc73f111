#include "LineReader.h"

#include <unistd.h>
#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cwchar>
#include <ostream>

#include <histedit.h>

#include "Signals.h"

namespace {

constexpr std::size_t kReadChunk = 64 * 1024;

// Scripts: lines exactly as they are in the input, the last one with or
// without its line feed.
class ScriptReader : public LineReader {
 public:
  bool Next(std::string& line) override {
    tooLong_ = false;
    line.clear();
    for (;;) {
      const std::string::size_type newline = buffer_.find('\n', start_);
      if (newline != std::string::npos) {
        if (!tooLong_) line.assign(buffer_, start_, newline - start_);
        start_ = newline + 1;
        return true;
      }
      // Past the longest line, the rest of it is passed over unread.
      if (buffer_.size() - start_ > kLongestLine) {
        tooLong_ = true;
        start_ = buffer_.size();
      }
      if (end_) {
        if (start_ >= buffer_.size()) return tooLong_;
        line.assign(buffer_, start_, std::string::npos);
        start_ = buffer_.size();
        return true;
      }
      if (!Fill()) return false;
    }
  }
  int error() const override { return error_; }
  bool tooLong() const override { return tooLong_; }

 private:
  bool Fill() {
    buffer_.erase(0, start_);
    start_ = 0;
    for (;;) {
      const Wait wait = WaitToRead(STDIN_FILENO, -1);
      if (wait == Wait::kStop) return false;
      if (wait == Wait::kError) {
        error_ = errno;
        return false;
      }
      const std::size_t had = buffer_.size();
      buffer_.resize(had + kReadChunk);
      const ssize_t got = read(STDIN_FILENO, &buffer_[had], kReadChunk);
      buffer_.resize(had + (got > 0 ? static_cast<std::size_t>(got) : 0));
      if (got > 0) return true;
      if (got == 0) {
        end_ = true;
        return true;
      }
      if (errno == EINTR || errno == EAGAIN) continue;
      error_ = errno;
      return false;
    }
  }

  std::string buffer_;
  std::string::size_type start_ = 0;
  bool end_ = false;
  bool tooLong_ = false;
  int error_ = 0;
};

const char* Prompt(EditLine*) { return "extent-browse> "; }

// libedit's own reader blocks in read(2), where a signal that arrived just
// before could go unnoticed until the next key; this one waits on the
// signal's pipe as well.
int ReadCharacter(EditLine*, wchar_t* character) {
  std::mbstate_t state{};
  for (;;) {
    const Wait wait = WaitToRead(STDIN_FILENO, -1);
    if (wait != Wait::kReady) {
      if (wait == Wait::kStop) errno = EINTR;
      return -1;
    }
    char byte = 0;
    const ssize_t got = read(STDIN_FILENO, &byte, 1);
    if (got == 0) return 0;
    if (got < 0) {
      if (errno == EINTR || errno == EAGAIN) continue;
      return -1;
    }
    wchar_t decoded = 0;
    const std::size_t used = std::mbrtowc(&decoded, &byte, 1, &state);
    if (used == static_cast<std::size_t>(-2)) continue;  // the rest of a character is coming
    if (used == static_cast<std::size_t>(-1)) {
      state = std::mbstate_t{};
      decoded = static_cast<unsigned char>(byte);
    }
    *character = decoded;
    return 1;
  }
}

class TerminalReader : public LineReader {
 public:
  explicit TerminalReader(std::ostream& out) : out_(out) {
    // Characters beyond ASCII are read in the terminal's own encoding.
    std::setlocale(LC_CTYPE, "");
    // The prompt and the line being edited go to the terminal, not to a
    // file standard output may be redirected to.
    echo_ = isatty(STDOUT_FILENO) ? stdout : stderr;
    editLine_ = el_init("extent-browse", stdin, echo_, stderr);
    history_ = history_init();
    HistEvent event;
    history(history_, &event, H_SETSIZE, 1000);
    history(history_, &event, H_SETUNIQUE, 1);
    el_set(editLine_, EL_EDITOR, "emacs");
    el_set(editLine_, EL_PROMPT, &Prompt);
    el_set(editLine_, EL_HIST, history, history_);
    el_set(editLine_, EL_GETCFN, &ReadCharacter);
    el_source(editLine_, nullptr);  // the person's own ~/.editrc
  }
  ~TerminalReader() override {
    el_end(editLine_);
    history_end(history_);
    // The shell's prompt starts on a line of its own after ^D or ^C.
    std::fputc('\n', echo_);
    std::fflush(echo_);
  }
  TerminalReader(const TerminalReader&) = delete;
  TerminalReader& operator=(const TerminalReader&) = delete;

  bool Next(std::string& line) override {
    out_.flush();
    int count = 0;
    const char* text = el_gets(editLine_, &count);
    // Ctrl-C drops the line being typed and asks again, as a shell does.
    while ((text == nullptr || count <= 0) && TakeInterrupt()) {
      std::fputs("^C\n", echo_);
      text = el_gets(editLine_, &count);
    }
    if (text == nullptr || count <= 0) {
      if (count < 0 && errno != EINTR) error_ = errno;
      return false;
    }
    line = text;
    if (!line.empty() && line.back() == '\n') line.pop_back();
    if (line.find_first_not_of(" \t") != std::string::npos) {
      HistEvent event;
      history(history_, &event, H_ENTER, text);
    }
    return true;
  }
  int error() const override { return error_; }

 private:
  std::ostream& out_;
  std::FILE* echo_ = nullptr;
  EditLine* editLine_ = nullptr;
  History* history_ = nullptr;
  int error_ = 0;
};

}  // namespace

std::unique_ptr<LineReader> MakeStdinReader(std::ostream& out) {
  if (isatty(STDIN_FILENO)) return std::make_unique<TerminalReader>(out);
  return std::make_unique<ScriptReader>();
}
