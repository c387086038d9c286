#pragma once
#include <boost/property_tree/ptree.hpp>

#include <cstddef>
#include <string>

// Reading of the uploaded JSON files (alias, OSD menu and its mode copies).
class JsonFile {
public:
    enum class Result { Missing, Invalid, SetAside, Parsed };
    enum class Bounds { Fits, TooLarge, TooDeep };

    // Every legitimate file is a few KiB and nests four levels; these hold
    // it with room to spare and keep the recursive parser far from the end
    // of the stack and from gigabytes of nodes.
    static constexpr size_t kMaxBytes = 256 * 1024;
    static constexpr int kMaxDepth = 16;

    // Size and nesting depth of the text, by a scan that does not parse.
    static Bounds check(const std::string& text);
    static std::string boundsText(Bounds b);

    // Reads the file under Utils::_file_deal_mutex (an upload may be being
    // written) and parses it. A file outside the bounds is not parsed: it is
    // renamed to <path>.bad and logged with its name, so the next start does
    // not meet it again. A file that is not JSON is reported
    // ("json error: <path>(<line>): ...") and deleted with "rm -rf <path>"
    // through Utils::system_mutex, after the file lock is released.
    static Result load(const std::string& logicalPath, boost::property_tree::ptree& tree);
    // Files handed to the parser so far (the alias lookups keep theirs).
    static unsigned long parseCount();
    static std::string removeCommand(const std::string& logicalPath);
    static std::string setAsidePath(const std::string& logicalPath) { return logicalPath + ".bad"; }
};
