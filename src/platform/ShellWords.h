#pragma once
#include <string>
#include <vector>

namespace kel::platform {

// Shell word quoting and splitting. A path pasted into a command text is
// always quoted; the simulated command runner splits texts the way a POSIX
// shell splits simple commands: blanks, single and double quotes,
// backslashes, the separators ; && || | and redirections.
class ShellWords {
public:
    // 'text', with every ' inside written as '\''.
    static std::string quote(const std::string& word);
    // Splits one simple command into words; false on an unterminated quote.
    static bool split(const std::string& text, std::vector<std::string>& words);
    // Splits a command list into its simple commands (separated by ; && ||
    // | or a newline), dropping redirections (">/dev/null", "2>&1", ...).
    static bool parse(const std::string& text, std::vector<std::vector<std::string>>& commands);
};

} // namespace kel::platform
