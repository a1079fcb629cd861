// The command thread: reads protocol lines from standard input and acts on each.
#pragma once

namespace zerin {

constexpr int LINE_BUFFER_SIZE = 8192;
extern char line_buffer[LINE_BUFFER_SIZE];

extern const char* const ENGINE_VERSION;

// Fills line_buffer with the next input line; ends the process at end of input.
void read_line();
// The rest of text after keyword (matched ignoring case) and the white space after it,
// or nullptr when text does not begin with keyword.
const char* match_command(const char* keyword, const char* text);
// Acts on the line in line_buffer.
void dispatch_command();
// Ends the process with status 0 (output flushed, the search thread not joined).
[[noreturn]] void exit_engine();

// Parses text like sscanf with a format of %d conversions, white space and literal
// characters; returns how many numbers were read. Values beyond 32 bits saturate.
int scan_numbers(const char* text, const char* format, int* values);

}  // namespace zerin
