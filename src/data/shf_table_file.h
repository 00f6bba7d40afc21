#pragma once
// The superhyperfine table read from a file, as --shf and the Python module
// take it.

#include <string>

namespace quorra {

// Reads the regular file at path into table: every line of the file is a line
// of the table, the last one too when it lacks its line break, each ending in
// CR LF as the table's own lines do. The file is opened without waiting, so
// that a FIFO named by mistake is refused, not waited on. False, with one
// sentence in problem, when the file cannot be read or is not a regular file.
bool readShfTableFile(const std::string& path, std::string& table, std::string& problem);

// The table of a text: every line a line of the table, the last one too when
// it lacks its line break, each ending in CR LF.
std::string shfTableFromText(const std::string& text);

}  // namespace quorra
