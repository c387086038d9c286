#include "resources/KelResources.h"
#include "ui/shell/L10n.h"

#include <QFile>
#include <QImage>

#include <gtest/gtest.h>

namespace kel::test {
namespace {

// A picture the pages name but the resource file lacks shows as nothing,
// silently: every name the panel uses must be there and load.
bool loads(const QString& path)
{
    return QFile::exists(path) && !QImage(path).isNull();
}

TEST(PanelPictures, EveryLanguageVariantOfTheMenuIconsExists)
{
    KelResources::init();
    const char* const bases[] = {"machinestate", "inputchoose", "custommode", "option", "uncall", "unsave", "call",
                                 "save", "closeled", "uncloseled", "slience", "unslience", "output_set",
                                 "input_cut", "image_layout", "link_set", "image_quality", "test_chart",
                                 "smart_mapping"};
    const char* const prefixes[] = {"", "en_", "ru_", "vn_", "tn_"};
    for (const char* base : bases) {
        for (const char* prefix : prefixes) {
            const QString path = QStringLiteral(":/png/%1%2.png").arg(prefix, base);
            EXPECT_TRUE(loads(path)) << path.toStdString();
        }
    }
    // English names its advanced-settings icon apart.
    EXPECT_TRUE(loads(":/png/en_advance_option.png"));
    for (const char* prefix : {"", "ru_", "vn_", "tn_"})
        EXPECT_TRUE(loads(QStringLiteral(":/png/%1AdvanceButton.png").arg(prefix))) << prefix;
}

TEST(PanelPictures, EveryPlainPictureOfTheShellExists)
{
    KelResources::init();
    const char* const names[] = {"ip", "lock", "unlock", "tools", "pointer", "LED", "bright", "contrast",
                                 "volume_open", "volume_close", "menu_status", "osd_yes", "freeze", "check_180",
                                 "OK_Enter", "back_return", "img_test1", "img_test2", "img_test3", "img_test4",
                                 "img_test5", "img_test6", "img_test7", "img_test8", "ltri", "rtri", "online_up",
                                 "offline_up", "warning"};
    for (const char* name : names)
        EXPECT_TRUE(loads(L10n::plainIcon(name))) << name;
}

} // namespace
} // namespace kel::test
