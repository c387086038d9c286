#include "params/AliasFile.h"

#include "params/DebugPrint.h"
#include "params/JsonFile.h"
#include "params/Utils.h"
#include "platform/PathMap.h"

#include <boost/property_tree/json_parser.hpp>

#include <fstream>

namespace pt = boost::property_tree;
using kel::platform::PathMap;

namespace {

const char* const kAliasPath = "/data/configs/alias.json";

// One entry read whole; a missing key or an id that is not an integer
// throws a property-tree error.
ALIAS_PARA readEntry(const pt::ptree& entry)
{
    ALIAS_PARA a;
    a.id = entry.get<int32_t>("id");
    a.valid = entry.get<std::string>("valid");
    a.name = entry.get<std::string>("name");
    return a;
}

// The entry with this id in the group's entries; malformed entries are
// skipped. False when there is none.
bool findEntry(const pt::ptree& entries, int32_t id, ALIAS_PARA& found)
{
    for (const auto& child : entries) {
        try {
            ALIAS_PARA a = readEntry(child.second);
            if (a.id == id) {
                found = a;
                return true;
            }
        } catch (const pt::ptree_error&) {
            continue;
        }
    }
    return false;
}

pt::ptree entry(int id, const std::string& name)
{
    pt::ptree e;
    e.put("id", std::to_string(id));
    e.put("valid", "off");
    e.put("name", name);
    return e;
}

void addGroup(pt::ptree& namelist, const std::string& group, const std::vector<std::pair<int, std::string>>& items)
{
    pt::ptree list;
    for (const auto& item : items)
        list.push_back(std::make_pair("", entry(item.first, item.second)));
    namelist.add_child(group, list);
}

} // namespace

int get_json_alias_para(ALIAS_PARA* alias, const std::string& group, int32_t id)
{
    pt::ptree tree;
    if (JsonFile::load(kAliasPath, tree) != JsonFile::Result::Parsed)
        return 0;
    const auto namelist = tree.get_child_optional("namelist");
    if (!namelist)
        return 0;
    // A repeated group key finds the first group with that key again, so
    // only the first one is searched.
    const auto entries = namelist->get_child_optional(pt::ptree::path_type(group, '\0'));
    ALIAS_PARA found;
    if (!entries || !findEntry(*entries, id, found))
        return 0;
    if (alias)
        *alias = found;
    return (found.valid != "off" && !found.name.empty()) ? 1 : 0;
}

void Json_create()
{
    pt::ptree tree;
    tree.put("filename", kAliasPath);
    pt::ptree namelist;
    addGroup(namelist, "source", {{0, "仓库"}, {2, "机房"}, {3, "abcdefghijkl"}});
    addGroup(namelist, "usermode", {{0, "User Mode 1"}, {1, "User Mode 2"}, {2, "User Mode 3"}});
    addGroup(namelist, "win", {{0, "Window 1"}, {1, "Window 2"}});
    addGroup(namelist, "crop", {{0, "Crop 1"}, {1, "Crop 2"}, {2, "Crop 3"}});
    tree.add_child("namelist", namelist);

    QMutexLocker locker(&Utils::_file_deal_mutex);
    std::ofstream out(PathMap::host(std::string(kAliasPath)), std::ios::binary | std::ios::trunc);
    if (!out) {
        kelDebug("\n open filed !!!");
        return;
    }
    pt::write_json(out, tree, true);
    kelDebug("\n create Json OK !!!");
}

void Json_analysis()
{
    pt::ptree tree;
    if (JsonFile::load(kAliasPath, tree) != JsonFile::Result::Parsed)
        return;
    const auto namelist = tree.get_child_optional("namelist");
    for (const char* group : {"source", "usermode", "win", "crop"}) {
        const auto entries = namelist ? namelist->get_child_optional(group) : boost::none;
        if (!entries)
            continue;
        for (const auto& child : *entries) {
            try {
                const ALIAS_PARA a = readEntry(child.second);
                kelDebug("\n %s id = %d valid = %s name = %s", group, a.id, a.valid.c_str(), a.name.c_str());
            } catch (const pt::ptree_error&) {
                continue;
            }
        }
    }
    kelDebug("\n read Json over !!!");
}
