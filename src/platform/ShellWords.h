#pragma once
#include <string>
#include <vector>

namespace kel::platform {

// Shell word quoting and splitting. A path pasted into a command text is
// always quoted; the simulated command runner splits texts the same way a
// POSIX shell splits plain words, single and double quotes and backslashes.
class ShellWords {
public:
    // 'text', with every ' inside written as '\''.
    static std::string quote(const std::string& word);
    // Splits a simple command into words; false on an unterminated quote.
    static bool split(const std::string& text, std::vector<std::string>& words);
};

} // namespace kel::platform
