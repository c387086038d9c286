#include "params/AliasFile.h"

#include "params/DebugPrint.h"
#include "params/JsonFile.h"
#include "params/Utils.h"
#include "platform/AtomicFile.h"
#include "platform/PathMap.h"

#include <boost/property_tree/json_parser.hpp>

#include <memory>
#include <mutex>
#include <sstream>
#include <sys/stat.h>

namespace pt = boost::property_tree;
using kel::platform::AtomicFile;
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

namespace {

// The parsed file, kept while the file stays the same one: the home screen
// asks for every label on every refresh. An upload replaces the file by a
// rename, which changes its inode; an edit in place changes its times.
struct AliasCache {
    std::mutex lock;
    bool have = false;
    struct stat key {};
    std::shared_ptr<const pt::ptree> tree;
};

bool sameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
           a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec &&
           a.st_ctim.tv_sec == b.st_ctim.tv_sec && a.st_ctim.tv_nsec == b.st_ctim.tv_nsec;
}

std::shared_ptr<const pt::ptree> aliasTree()
{
    static AliasCache cache;
    struct stat now;
    const bool exists = ::stat(PathMap::host(std::string(kAliasPath)).c_str(), &now) == 0;
    std::lock_guard<std::mutex> l(cache.lock);
    if (exists && cache.have && sameFile(now, cache.key))
        return cache.tree;
    cache.have = false;
    cache.tree.reset();
    if (!exists)
        return nullptr;
    auto tree = std::make_shared<pt::ptree>();
    if (JsonFile::load(kAliasPath, *tree) != JsonFile::Result::Parsed)
        return nullptr;
    cache.have = true;
    cache.key = now;
    cache.tree = tree;
    return tree;
}

} // namespace

int get_json_alias_para(ALIAS_PARA* alias, const std::string& group, int32_t id)
{
    const std::shared_ptr<const pt::ptree> parsed = aliasTree();
    if (!parsed)
        return 0;
    const pt::ptree& tree = *parsed;
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

    std::ostringstream text;
    pt::write_json(text, tree, true);
    QMutexLocker locker(&Utils::_file_deal_mutex);
    const std::string bytes = text.str();
    if (!AtomicFile::replace(kAliasPath, bytes.data(), bytes.size())) {
        kelDebug("\n open filed !!!");
        return;
    }
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
