#pragma once
#include <cstdint>
#include <string>

class OsdTarget;

// One item of the OSD menu file (/data/configs/omenu.json or a mode's copy
// /data/modes/MOxx.json).
struct OMENU_PARA {
    int32_t osdcount = 0;     // first record of a list only
    int32_t oactcount = 0;    // first record of a list only
    int32_t type = 0;         // 0 text, 1 bitmap
    std::string status;
    int32_t pos_x = 0, pos_y = 0, pos_w = 0, pos_h = 0;
    int32_t effect = 0, speed = 0, staytime = 0;
    std::string h_align, v_align;
    std::string backpara_enable, backpara_color;
    std::string backpara_layer;
    int32_t startx = 0, starty = 0, fontw = 0, fonth = 0, wordspace = 0, verticalspace = 0;
    std::string font_color;
    std::string texts;
    int32_t start = 0, end = 0;
};

struct OSD_LIST {
    OMENU_PARA item[3];
};

// The list the scaler manager loads and applies.
extern OSD_LIST g_osd_list;

// Reads the menu file into list (osdcount 0 first; fields the load does not
// reach keep their values). A file that is not JSON is deleted; a missing
// key or a bad value leaves osdcount 0 and keeps the file.
void get_json_omenu_para(const char* path, OSD_LIST* list);
// Programs the OSD of the installed target from the first record; nothing
// when osdcount is 0 or no target is installed.
void set_OSD_para(OMENU_PARA* first);
void set_OSD_para(OMENU_PARA* first, OsdTarget& target);
