#include "params/JsonFile.h"

#include "params/DebugPrint.h"
#include "params/Utils.h"
#include "platform/LogLine.h"
#include "platform/PathMap.h"
#include "platform/ShellWords.h"

#include <boost/property_tree/json_parser.hpp>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <sstream>

using kel::platform::PathMap;

namespace {

std::atomic<unsigned long> g_parses{0};

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

// Reads one byte more than the bound allows, so an oversized file is seen
// without reading all of it.
bool readText(const std::string& logicalPath, std::string& text)
{
    QMutexLocker locker(&Utils::_file_deal_mutex);
    std::ifstream in(PathMap::host(logicalPath), std::ios::binary);
    if (!in)
        return false;
    text.assign(JsonFile::kMaxBytes + 1, '\0');
    in.read(&text[0], static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<size_t>(in.gcount()));
    return true;
}

void setAside(const std::string& logicalPath, JsonFile::Bounds why)
{
    QMutexLocker locker(&Utils::_file_deal_mutex);
    const std::string bad = JsonFile::setAsidePath(logicalPath);
    const bool moved = std::rename(PathMap::host(logicalPath).c_str(), PathMap::host(bad).c_str()) == 0;
    const std::string what = moved ? "set aside as " + bad : std::string("skipped");
    kel::platform::LogLine::error("json file %s %s: %s\n", logicalPath.c_str(), what.c_str(),
                                  JsonFile::boundsText(why).c_str());
}

} // namespace

std::string JsonFile::removeCommand(const std::string& logicalPath)
{
    return "rm -rf " + (plainPath(logicalPath) ? logicalPath : kel::platform::ShellWords::quote(logicalPath));
}

unsigned long JsonFile::parseCount() { return g_parses; }

JsonFile::Bounds JsonFile::check(const std::string& text)
{
    if (text.size() > kMaxBytes)
        return Bounds::TooLarge;
    int depth = 0;
    bool inString = false;
    bool escaped = false;
    for (char c : text) {
        if (inString) {
            if (escaped)
                escaped = false;
            else if (c == '\\')
                escaped = true;
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '{' || c == '[') {
            if (++depth > kMaxDepth)
                return Bounds::TooDeep;
        } else if (c == '}' || c == ']') {
            --depth;
        }
    }
    return Bounds::Fits;
}

std::string JsonFile::boundsText(Bounds b)
{
    switch (b) {
    case Bounds::TooLarge:
        return "larger than " + std::to_string(kMaxBytes) + " bytes";
    case Bounds::TooDeep:
        return "nested deeper than " + std::to_string(kMaxDepth) + " levels";
    case Bounds::Fits:
        break;
    }
    return "within bounds";
}

JsonFile::Result JsonFile::load(const std::string& logicalPath, boost::property_tree::ptree& tree)
{
    std::string text;
    if (!readText(logicalPath, text))
        return Result::Missing;
    const Bounds bounds = check(text);
    if (bounds != Bounds::Fits) {
        setAside(logicalPath, bounds);
        return Result::SetAside;
    }
    ++g_parses;
    try {
        std::istringstream in(text);
        boost::property_tree::read_json(in, tree);
        return Result::Parsed;
    } catch (const boost::property_tree::json_parser_error& e) {
        kelDebug("json error: %s(%lu): %s", logicalPath.c_str(), e.line(), e.message().c_str());
    }
    Utils::system_mutex(QString::fromStdString(removeCommand(logicalPath)));
    return Result::Invalid;
}
