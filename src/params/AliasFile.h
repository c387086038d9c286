#pragma once
#include <cstdint>
#include <string>

// One entry of the name-alias file /data/configs/alias.json.
struct ALIAS_PARA {
    int32_t id = 0;
    std::string valid;
    std::string name;   // UTF-8
};

// Looks up entry id of group ("source", "usermode", "win", "crop"). 1 when
// the entry exists, its "valid" is not "off" and its name is not empty;
// alias is filled whenever the entry is found. A file that is not JSON is
// deleted; a malformed entry is skipped and the file kept.
int get_json_alias_para(ALIAS_PARA* alias, const std::string& group, int32_t id);
// Writes the sample alias file.
void Json_create();
// Prints the entries of the four groups.
void Json_analysis();
