// The command thread: reads protocol lines from standard input and acts on each.
#pragma once

namespace zerin {

constexpr int LINE_BUFFER_SIZE = 8192;
extern char line_buffer[LINE_BUFFER_SIZE];

extern const char* const ENGINE_VERSION;

// Where input characters come from: standard input, or a test's or fuzzer's source
// (EOF at the end).
extern int (*read_input_char)();

// Fills line_buffer with the next input line; false at end of input.
bool read_line();
// The rest of text after keyword (matched ignoring case) and the white space after it,
// or nullptr when text does not begin with keyword.
const char* match_command(const char* keyword, const char* text);
// Acts on the line in line_buffer; false when the process must end (END, or the input
// ended inside a block of follow-up lines).
bool dispatch_command();
// Ends the process with status 0 (output flushed, the search thread not joined).
[[noreturn]] void exit_engine();

// Parses text like sscanf with a format of %d conversions, white space and literal
// characters; returns how many numbers were read. Values beyond 32 bits saturate.
int scan_numbers(const char* text, const char* format, int* values);

}  // namespace zerin
