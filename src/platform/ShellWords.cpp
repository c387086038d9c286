#include "platform/ShellWords.h"

namespace kel::platform {
namespace {

struct Token {
    enum Kind { Word, Separator, Redirect } kind;
    std::string text;
};

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// Reads a quoted or plain word starting at i; stops at a blank or an
// unquoted operator character.
bool readWord(const std::string& s, size_t& i, std::string& out)
{
    while (i < s.size()) {
        const char c = s[i];
        if (isBlank(c) || c == '\n' || c == ';' || c == '|' || c == '&' || c == '<' || c == '>')
            return true;
        if (c == '\'') {
            const size_t end = s.find('\'', i + 1);
            if (end == std::string::npos)
                return false;
            out += s.substr(i + 1, end - i - 1);
            i = end + 1;
        } else if (c == '"') {
            size_t j = i + 1;
            for (; j < s.size() && s[j] != '"'; ++j) {
                if (s[j] == '\\' && j + 1 < s.size() && (s[j + 1] == '"' || s[j + 1] == '\\' || s[j + 1] == '$'))
                    ++j;
                out += s[j];
            }
            if (j >= s.size())
                return false;
            i = j + 1;
        } else if (c == '\\' && i + 1 < s.size()) {
            out += s[i + 1];
            i += 2;
        } else {
            out += c;
            ++i;
        }
    }
    return true;
}

bool tokenize(const std::string& s, std::vector<Token>& tokens)
{
    size_t i = 0;
    while (i < s.size()) {
        const char c = s[i];
        if (isBlank(c)) {
            ++i;
        } else if (c == '\n' || c == ';') {
            tokens.push_back({Token::Separator, std::string(1, c)});
            ++i;
        } else if ((c == '&' || c == '|') && i + 1 < s.size() && s[i + 1] == c) {
            tokens.push_back({Token::Separator, s.substr(i, 2)});
            i += 2;
        } else if (c == '|') {
            tokens.push_back({Token::Separator, "|"});
            ++i;
        } else if (c == '&' && !(i + 1 < s.size() && s[i + 1] == '>')) {
            tokens.push_back({Token::Separator, "&"});
            ++i;
        } else if (c == '<' || c == '>' || c == '&') {
            // A redirection: operator characters, then an optional target
            // ("&1" belongs to the operator).
            size_t j = i;
            while (j < s.size() && (s[j] == '<' || s[j] == '>' || s[j] == '&'))
                ++j;
            while (j < s.size() && isBlank(s[j]))
                ++j;
            std::string target;
            if (!readWord(s, j, target))
                return false;
            tokens.push_back({Token::Redirect, target});
            i = j;
        } else {
            std::string word;
            if (!readWord(s, i, word))
                return false;
            // "2>" and friends: a file-descriptor number glued to '>'.
            if (i < s.size() && (s[i] == '>' || s[i] == '<') && !word.empty() &&
                word.find_first_not_of("0123456789") == std::string::npos)
                continue;
            tokens.push_back({Token::Word, word});
        }
    }
    return true;
}

} // namespace

std::string ShellWords::quote(const std::string& word)
{
    std::string out = "'";
    for (char c : word) {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    out += "'";
    return out;
}

bool ShellWords::split(const std::string& text, std::vector<std::string>& words)
{
    words.clear();
    std::vector<std::vector<std::string>> commands;
    if (!parse(text, commands))
        return false;
    for (auto& c : commands)
        words.insert(words.end(), c.begin(), c.end());
    return true;
}

bool ShellWords::parse(const std::string& text, std::vector<std::vector<std::string>>& commands)
{
    commands.clear();
    std::vector<Token> tokens;
    if (!tokenize(text, tokens))
        return false;
    std::vector<std::string> current;
    for (const Token& t : tokens) {
        if (t.kind == Token::Word) {
            current.push_back(t.text);
        } else if (t.kind == Token::Separator) {
            if (!current.empty())
                commands.push_back(std::move(current));
            current.clear();
        }
    }
    if (!current.empty())
        commands.push_back(std::move(current));
    return true;
}

} // namespace kel::platform
