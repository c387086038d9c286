#include "resources/KelResources.h"

#include <QFile>
#include <QImage>

#include <gtest/gtest.h>

namespace kel::test {
namespace {

// A picture the pages name but the resource file lacks shows as nothing,
// silently: every name the panel uses must be there, load, and have the
// size the panel shows it at.
struct Expected {
    const char* path;
    int w, h;
};

void expectPictures(std::initializer_list<Expected> pictures)
{
    KelResources::init();
    for (const Expected& e : pictures) {
        const QString path = QStringLiteral(":/png/%1.png").arg(QString::fromUtf8(e.path));
        const QImage img(path);
        EXPECT_FALSE(img.isNull()) << e.path;
        EXPECT_EQ(img.size(), QSize(e.w, e.h)) << e.path;
    }
}

TEST(PanelPictures, MainMenuEntriesInEveryLanguage)
{
    expectPictures({
        {"machinestate", 64, 64},    {"en_machinestate", 64, 64}, {"ru_machinestate", 64, 64},
        {"vn_machinestate", 64, 64}, {"tn_machinestate", 64, 64}, {"inputchoose", 64, 64},
        {"en_inputchoose", 90, 64},  {"ru_inputchoose", 96, 76},  {"vn_inputchoose", 96, 76},
        {"tn_inputchoose", 64, 64},  {"custommode", 64, 64},      {"en_custommode", 64, 64},
        {"ru_custommode", 64, 64},   {"vn_custommode", 64, 64},   {"tn_custommode", 64, 64},
        {"option", 64, 64},          {"en_option", 64, 64},       {"ru_option", 64, 64},
        {"vn_option", 64, 64},       {"tn_option", 64, 64},
    });
}

TEST(PanelPictures, ToolColumnInEveryLanguage)
{
    for (const char* base : {"uncall", "call", "unsave", "save", "closeled", "uncloseled", "slience", "unslience"}) {
        for (const char* prefix : {"", "en_", "ru_", "vn_", "tn_"}) {
            const std::string name = std::string(prefix) + base;
            expectPictures({{name.c_str(), 24, 36}});
        }
    }
}

TEST(PanelPictures, SettingsMenuEntriesAtTheirLanguagesWidths)
{
    expectPictures({
        {"output_set", 55, 60},     {"en_output_set", 75, 60},    {"ru_output_set", 55, 60},
        {"vn_output_set", 55, 60},  {"tn_output_set", 55, 60},    {"input_cut", 55, 60},
        {"en_input_cut", 70, 60},   {"ru_input_cut", 70, 60},     {"vn_input_cut", 70, 60},
        {"tn_input_cut", 55, 60},   {"image_layout", 55, 60},     {"en_image_layout", 70, 60},
        {"ru_image_layout", 55, 60}, {"vn_image_layout", 55, 60}, {"tn_image_layout", 55, 60},
        {"link_set", 55, 60},       {"en_link_set", 70, 60},      {"ru_link_set", 70, 60},
        {"vn_link_set", 70, 60},    {"tn_link_set", 55, 60},      {"image_quality", 55, 60},
        {"en_image_quality", 75, 60}, {"ru_image_quality", 55, 60}, {"vn_image_quality", 55, 60},
        {"tn_image_quality", 55, 60}, {"test_chart", 55, 60},     {"en_test_chart", 55, 60},
        {"ru_test_chart", 55, 60},  {"vn_test_chart", 55, 60},    {"tn_test_chart", 55, 60},
        {"smart_mapping", 55, 60},  {"en_smart_mapping", 55, 60}, {"ru_smart_mapping", 55, 60},
        {"vn_smart_mapping", 55, 60}, {"tn_smart_mapping", 55, 60}, {"AdvanceButton", 55, 60},
        {"en_advance_option", 54, 60}, {"ru_AdvanceButton", 70, 60}, {"vn_AdvanceButton", 54, 60},
        {"tn_AdvanceButton", 55, 60},
    });
}

TEST(PanelPictures, HomeScreenMainMenuAndNotices)
{
    expectPictures({
        {"LED", 16, 16},         {"ip", 16, 16},          {"bright", 16, 16},   {"contrast", 16, 16},
        {"volume_open", 16, 16}, {"volume_close", 16, 16}, {"menu_status", 20, 20}, {"osd_yes", 12, 12},
        {"freeze", 16, 16},      {"lock", 16, 16},        {"unlock", 16, 16},   {"tools", 16, 16},
        {"pointer", 9, 12},      {"mode_blank", 16, 16},  {"mode_exist", 16, 16}, {"check_180", 180, 180},
        {"OK_Enter", 51, 17},    {"back_return", 56, 17}, {"update", 64, 64},   {"delete", 20, 20},
    });
}

TEST(PanelPictures, PagePictures)
{
    expectPictures({
        {"add", 20, 20},          {"state_on", 7, 7},       {"state_off", 7, 7},       {"mirror1_on", 64, 64},   {"mirror1_off", 32, 32},
        {"mirror2_on", 32, 32},   {"mirror2_off", 32, 32},  {"mirror3_on", 32, 32},   {"mirror3_off", 32, 32},
        {"mirror4_on", 32, 32},   {"mirror4_off", 32, 32},  {"button_on", 40, 20},    {"button_off", 40, 20},
        {"online", 16, 14},       {"offline", 16, 14},      {"online_up", 12, 10},    {"offline_up", 12, 10},
        {"ltri", 14, 14},         {"rtri", 14, 14},         {"previous", 20, 20},     {"next", 20, 20},
        {"warning", 16, 16},      {"back", 32, 32},         {"version_state", 15, 40}, {"en_version_state", 15, 40},
        {"ru_version_state", 15, 40}, {"output_state", 15, 65}, {"ru_output_state", 15, 65},
        {"input_state", 15, 55},  {"ru_input_state", 15, 55},
    });
    for (int i = 1; i <= 8; ++i)
        expectPictures({{QStringLiteral("img_test%1").arg(i).toUtf8().constData(), 50, 50}});
    for (int i = 1; i <= 16; ++i)
        expectPictures({{QStringLiteral("line%1").arg(i).toUtf8().constData(), 40, 25}});
}

TEST(PanelPictures, InputIconsShareOneShape)
{
    // Shown scaled in labels of 40x12 (lists), 35x15 and 25x8.
    for (const char* name : {"HDMI", "DVI", "HDMI13", "HDMI13_1", "HDMI13_lv", "HDMI20", "HDMI20_lv", "extlv", "dvilv"})
        expectPictures({{name, 40, 12}});
}

// The crop list and the EDID box show ":/png/HDMI.png" for every input but
// DVI: an HDMI plug like the other HDMI pictures, not the EXT input's.
TEST(PanelPictures, HdmiPictureIsAPlugWithoutTheExtName)
{
    KelResources::init();
    const auto shape = [](const char* name) {
        const QImage img = QImage(QStringLiteral(":/png/%1.png").arg(name)).convertToFormat(QImage::Format_ARGB32);
        QVector<bool> inked;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                inked.append(qAlpha(img.pixel(x, y)) > 128);
        return inked;
    };
    EXPECT_NE(shape("HDMI"), shape("extlv"));
    EXPECT_EQ(shape("HDMI"), shape("HDMI13_1"));
}

TEST(PanelPictures, PicturesAreDrawnNotBlank)
{
    KelResources::init();
    for (const char* name : {"LED", "ip", "bright", "contrast", "en_machinestate", "ru_unsave", "tools"}) {
        const QImage img = QImage(QStringLiteral(":/png/%1.png").arg(name)).convertToFormat(QImage::Format_ARGB32);
        int inked = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                inked += qAlpha(img.pixel(x, y)) > 128;
        EXPECT_GT(inked, img.width() * img.height() / 10) << name;
    }
}

} // namespace
} // namespace kel::test
