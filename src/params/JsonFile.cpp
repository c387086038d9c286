#include "params/JsonFile.h"

#include "params/DebugPrint.h"
#include "params/Utils.h"
#include "platform/PathMap.h"
#include "platform/ShellWords.h"

#include <boost/property_tree/json_parser.hpp>

#include <fstream>
#include <sstream>

using kel::platform::PathMap;

namespace {

// The fixed paths the system uses stay as written in the command text;
// anything else is quoted.
bool plainPath(const std::string& path)
{
    for (char c : path) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                        c == '/' || c == '.' || c == '_' || c == '-';
        if (!ok)
            return false;
    }
    return !path.empty() && path.front() != '-';
}

bool readText(const std::string& logicalPath, std::string& text)
{
    QMutexLocker locker(&Utils::_file_deal_mutex);
    std::ifstream in(PathMap::host(logicalPath), std::ios::binary);
    if (!in)
        return false;
    std::ostringstream buffer;
    buffer << in.rdbuf();
    text = buffer.str();
    return true;
}

} // namespace

std::string JsonFile::removeCommand(const std::string& logicalPath)
{
    return "rm -rf " + (plainPath(logicalPath) ? logicalPath : kel::platform::ShellWords::quote(logicalPath));
}

JsonFile::Result JsonFile::load(const std::string& logicalPath, boost::property_tree::ptree& tree)
{
    std::string text;
    if (!readText(logicalPath, text))
        return Result::Missing;
    try {
        std::istringstream in(text);
        boost::property_tree::read_json(in, tree);
        return Result::Parsed;
    } catch (const boost::property_tree::json_parser_error& e) {
        kelDebug("json error: %s", e.what());
    }
    Utils::system_mutex(QString::fromStdString(removeCommand(logicalPath)));
    return Result::Invalid;
}
