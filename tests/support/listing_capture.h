// Test support: run code with output unit 7 connected to a fresh temporary file and return the text.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace talvir_test {

// Connects unit 7 to a new temporary file, runs `body`, disconnects and returns everything written.
std::string capture_listing(const std::function<void()>& body);

// Splits text into lines at '\n' (a final line without '\n' is kept; a trailing '\n' adds no line).
std::vector<std::string> split_lines(const std::string& text);

// Reads a whole file; empty when it cannot be read.
std::string read_file(const std::string& path);

// A unique path in the system temporary folder (the file is not created).
std::string temp_path(const std::string& stem);

// Makes `link` a symbolic link to the existing file `target`. Windows refuses it without the right
// (and wine may not make one): false then.
bool make_symbolic_link(const std::string& target, const std::string& link);

// The exit status of a program run by popen, from pclose's result: -1 when it ended by a signal. On
// Windows pclose returns the exit status itself.
int exit_status(int pclose_result);

}  // namespace talvir_test
