#include "core/output.h"

#include <cstdarg>
#include <cstdio>

#include "core/relaxed.h"

namespace zerin {

namespace {

Relaxed<bool> replies_muted{false};

void write_and_flush(const char* text, int length) {
  if (replies_muted) return;
  std::fwrite(text, 1, static_cast<size_t>(length), stdout);
  std::fflush(stdout);
}

void append_formatted(LineBuilder& line, const char* format, va_list args) {
  const int room = static_cast<int>(sizeof line.text) - 1 - line.length;  // keep one for '\n'
  if (room <= 0) return;
  const int written = std::vsnprintf(line.text + line.length, static_cast<size_t>(room) + 1, format, args);
  if (written > 0) line.length += written < room ? written : room;
}

}  // namespace

void log_line(const char* format, ...) {
  LineBuilder line;
  line_begin(line);
  va_list args;
  va_start(args, format);
  append_formatted(line, format, args);
  va_end(args);
  line_finish(line);
}

void mute_replies(bool muted) { replies_muted = muted; }

void line_begin(LineBuilder& line) {
  line.length = 0;
  line.text[0] = '\0';
}

void line_append(LineBuilder& line, const char* format, ...) {
  va_list args;
  va_start(args, format);
  append_formatted(line, format, args);
  va_end(args);
}

void line_finish(LineBuilder& line) {
  line.text[line.length++] = '\n';
  write_and_flush(line.text, line.length);
  line.length = 0;
}

}  // namespace zerin
