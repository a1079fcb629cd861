// Reply lines on standard output. Every line goes out in one write and is flushed at
// once, so lines of the two threads never interleave.
#pragma once

namespace zerin {

// Formatted text, a newline, and a flush.
void log_line(const char* format, ...) __attribute__((format(printf, 1, 2)));

// A line assembled in pieces: append, then finish with a newline and a flush.
struct LineBuilder {
  char text[8192];
  int length;
};
void line_begin(LineBuilder& line);
void line_append(LineBuilder& line, const char* format, ...) __attribute__((format(printf, 2, 3)));
void line_finish(LineBuilder& line);

// While muted, reply lines are dropped: the bench command runs decisions without their
// protocol output.
void mute_replies(bool muted);

}  // namespace zerin
