#include "inputs/sourceinfo.h"

#include <QLabel>
#include <QPixmap>

namespace {

const char* const kNames[6] = {"EXT", "DVI", "HDMI1", "HDMI2", "HDMI3", "HDMI4"};
const uint8_t kIdByPosition[5] = {2, 3, 4, 5, 1};
const uint8_t kPositionById[6] = {5, 4, 0, 1, 2, 3};

const char* const kIcons[6] = {":/png/HDMI.png", ":/png/DVI.png", ":/png/HDMI13.png",
                               ":/png/HDMI13.png", ":/png/HDMI20.png", ":/png/HDMI20.png"};
const char* const kOnlineIcons[6] = {":/png/extlv.png", ":/png/dvilv.png", ":/png/HDMI13_lv.png",
                                     ":/png/HDMI13_lv.png", ":/png/HDMI20_lv.png", ":/png/HDMI20_lv.png"};
const char* const kOfflineIcons[6] = {":/png/HDMI.png", ":/png/DVI.png", ":/png/HDMI13_1.png",
                                      ":/png/HDMI13_1.png", ":/png/HDMI20.png", ":/png/HDMI20.png"};

const char kWhite[] = "<font style = 'font-size:9px' color = #ffffff >%1</font>";
const char kGreen[] = "<font style = 'font-size:9px' color = #51BB28 >%1</font>";
const char kGreen1[] = "<font style = 'font-size:9px' color = #12BB32 >%1</font>";
const char kBlue[] = "<font style = 'font-size:9px' color = #4777ff >%1</font>";

} // namespace

QString sourceinfo::get_source_name_by_sourceid(uint8_t id)
{
    return id < 6 ? QString::fromLatin1(kNames[id]) : QString();
}

QString sourceinfo::get_source_name_by_listseq(uint8_t position)
{
    return position < 6 ? get_source_name_by_sourceid(position < 5 ? kIdByPosition[position] : 0) : QString();
}

uint8_t sourceinfo::get_source_id_by_listseq(uint8_t position)
{
    return position < 5 ? kIdByPosition[position] : 0;
}

uint8_t sourceinfo::get_listseq_by_source_id(uint8_t id)
{
    return id < 6 ? kPositionById[id] : 0;
}

QString sourceinfo::get_source_specialstyle0_by_sourceid(uint8_t id)
{
    return QString::fromLatin1(id == 4 || id == 5 ? kGreen : kWhite);
}

QString sourceinfo::get_source_specialstyle1_by_sourceid(uint8_t id, const QString& text, uint8_t count)
{
    if (id > 5)
        return QString();
    const QString name = QString::fromLatin1(id >= 4 ? kGreen1 : kWhite).arg(text);
    const QString blue = QString::fromLatin1(kBlue);
    return name + blue.arg("(") + blue.arg(QString::number(count)) + blue.arg(")");
}

QString sourceinfo::icon_path(uint8_t id)
{
    return id < 6 ? QString::fromLatin1(kIcons[id]) : QString();
}

QString sourceinfo::online_icon_path(uint8_t id, uint8_t online)
{
    if (id > 5)
        return QString();
    return QString::fromLatin1(online ? kOnlineIcons[id] : kOfflineIcons[id]);
}

void sourceinfo::set_source_pixmap(QLabel* label, uint8_t id)
{
    if (label && id < 6)
        label->setPixmap(QPixmap(icon_path(id)));
}

void sourceinfo::set_sourceonline_pixmap(QLabel* label, uint8_t id, uint8_t online)
{
    if (label && id < 6)
        label->setPixmap(QPixmap(online_icon_path(id, online)));
}
