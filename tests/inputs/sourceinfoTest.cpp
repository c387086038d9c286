#include "inputs/sourceinfo.h"

#include <gtest/gtest.h>

TEST(SourceNames, ByIdAndByListPosition)
{
    const char* byId[6] = {"EXT", "DVI", "HDMI1", "HDMI2", "HDMI3", "HDMI4"};
    const char* byPos[6] = {"HDMI1", "HDMI2", "HDMI3", "HDMI4", "DVI", "EXT"};
    const uint8_t idByPos[7] = {2, 3, 4, 5, 1, 0, 0};
    const uint8_t posById[7] = {5, 4, 0, 1, 2, 3, 0};
    for (uint8_t i = 0; i < 6; ++i) {
        EXPECT_EQ(sourceinfo::get_source_name_by_sourceid(i), byId[i]);
        EXPECT_EQ(sourceinfo::get_source_name_by_listseq(i), byPos[i]);
    }
    for (uint8_t i = 0; i < 7; ++i) {
        EXPECT_EQ(sourceinfo::get_source_id_by_listseq(i), idByPos[i]) << int(i);
        EXPECT_EQ(sourceinfo::get_listseq_by_source_id(i), posById[i]) << int(i);
    }
    EXPECT_TRUE(sourceinfo::get_source_name_by_sourceid(6).isEmpty());
    EXPECT_TRUE(sourceinfo::get_source_name_by_listseq(6).isEmpty());
    EXPECT_EQ(sourceinfo::get_listseq_by_source_id(200), 0);
}

TEST(SourceNames, StylesColourTheHdmi20Inputs)
{
    const QString white = "<font style = 'font-size:9px' color = #ffffff >%1</font>";
    const QString green = "<font style = 'font-size:9px' color = #51BB28 >%1</font>";
    for (uint8_t id : {0, 1, 2, 3, 6, 255})
        EXPECT_EQ(sourceinfo::get_source_specialstyle0_by_sourceid(id), white);
    EXPECT_EQ(sourceinfo::get_source_specialstyle0_by_sourceid(4), green);
    EXPECT_EQ(sourceinfo::get_source_specialstyle0_by_sourceid(5), green);
    EXPECT_EQ(sourceinfo::get_source_specialstyle1_by_sourceid(4, "HDMI3", 2),
              "<font style = 'font-size:9px' color = #12BB32 >HDMI3</font>"
              "<font style = 'font-size:9px' color = #4777ff >(</font>"
              "<font style = 'font-size:9px' color = #4777ff >2</font>"
              "<font style = 'font-size:9px' color = #4777ff >)</font>");
    EXPECT_TRUE(sourceinfo::get_source_specialstyle1_by_sourceid(0, "EXT", 0).startsWith(white.arg("EXT")));
    EXPECT_TRUE(sourceinfo::get_source_specialstyle1_by_sourceid(6, "X", 1).isEmpty());
}

TEST(SourceNames, IconsOnlineAndOffline)
{
    EXPECT_EQ(sourceinfo::icon_path(0), ":/png/HDMI.png");
    EXPECT_EQ(sourceinfo::icon_path(2), ":/png/HDMI13.png");
    EXPECT_EQ(sourceinfo::icon_path(5), ":/png/HDMI20.png");
    EXPECT_EQ(sourceinfo::online_icon_path(0, 1), ":/png/extlv.png");
    EXPECT_EQ(sourceinfo::online_icon_path(1, 1), ":/png/dvilv.png");
    EXPECT_EQ(sourceinfo::online_icon_path(3, 1), ":/png/HDMI13_lv.png");
    EXPECT_EQ(sourceinfo::online_icon_path(4, 1), ":/png/HDMI20_lv.png");
    for (uint8_t id : {0, 1, 4, 5})
        EXPECT_EQ(sourceinfo::online_icon_path(id, 0), sourceinfo::icon_path(id));
    EXPECT_EQ(sourceinfo::online_icon_path(2, 0), ":/png/HDMI13_1.png");
    EXPECT_EQ(sourceinfo::online_icon_path(3, 0), ":/png/HDMI13_1.png");
    EXPECT_TRUE(sourceinfo::icon_path(6).isEmpty());
    EXPECT_TRUE(sourceinfo::online_icon_path(6, 1).isEmpty());
}
