#pragma once
#include <QString>
#include <cstdint>

class QLabel;

// One vocabulary for the six inputs on every page: names, list order, the
// rich-text name styles and the icons. No state.
class sourceinfo {
public:
    static QString get_source_name_by_sourceid(uint8_t id);
    static QString get_source_name_by_listseq(uint8_t position);
    static uint8_t get_source_id_by_listseq(uint8_t position);
    static uint8_t get_listseq_by_source_id(uint8_t id);
    static QString get_source_specialstyle0_by_sourceid(uint8_t id);
    static QString get_source_specialstyle1_by_sourceid(uint8_t id, const QString& text, uint8_t count);
    static void set_source_pixmap(QLabel* label, uint8_t id);
    static void set_sourceonline_pixmap(QLabel* label, uint8_t id, uint8_t online);

    // The icon resource paths behind the two pixmap calls ("" above 5).
    static QString icon_path(uint8_t id);
    static QString online_icon_path(uint8_t id, uint8_t online);
};
