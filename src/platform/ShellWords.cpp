#include "platform/ShellWords.h"

namespace kel::platform {

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
    std::string cur;
    bool inWord = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == ' ' || c == '\t' || c == '\n') {
            if (inWord)
                words.push_back(cur);
            cur.clear();
            inWord = false;
            continue;
        }
        inWord = true;
        if (c == '\'') {
            const size_t end = text.find('\'', i + 1);
            if (end == std::string::npos)
                return false;
            cur += text.substr(i + 1, end - i - 1);
            i = end;
        } else if (c == '"') {
            size_t j = i + 1;
            for (; j < text.size() && text[j] != '"'; ++j) {
                if (text[j] == '\\' && j + 1 < text.size() &&
                    (text[j + 1] == '"' || text[j + 1] == '\\' || text[j + 1] == '$'))
                    ++j;
                cur += text[j];
            }
            if (j >= text.size())
                return false;
            i = j;
        } else if (c == '\\' && i + 1 < text.size()) {
            cur += text[++i];
        } else {
            cur += c;
        }
    }
    if (inWord)
        words.push_back(cur);
    return true;
}

} // namespace kel::platform
