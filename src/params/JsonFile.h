#pragma once
#include <boost/property_tree/ptree.hpp>

#include <string>

// Reading of the uploaded JSON files (alias, OSD menu and its mode copies).
class JsonFile {
public:
    enum class Result { Missing, Invalid, Parsed };

    // Reads the file under Utils::_file_deal_mutex (an upload may be being
    // written) and parses it. A file that is not JSON is reported
    // ("json error: ...") and deleted with "rm -rf <path>" through
    // Utils::system_mutex, after the file lock is released.
    static Result load(const std::string& logicalPath, boost::property_tree::ptree& tree);
    static std::string removeCommand(const std::string& logicalPath);
};
