#include "ui/pages/input/ImageLayout.h"

#include "inputs/sourceinfo.h"
#include "params/AliasFile.h"
#include "params/KelRamPara.h"
#include "params/SyncReason.h"
#include "params/global.h"
#include "ui/shell/L10n.h"
#include "ui/shell/My_lineEdit.h"
#include "ui/shell/PageFocus.h"
#include "ui/shell/PageForm.h"
#include "ui/shell/PageOpener.h"
#include "ui/shell/PagePointers.h"
#include "ui/shell/TextFit.h"

#include <QComboBox>
#include <QFrame>
#include <QLabel>

namespace {
const char* const kTitle[5] = {"画面布局", "Screen layout", "Расположение", "Bố cục màn hình", "畫麵佈局"};
const char* const kP2P[5] = {"点对点", "DBD", "Пиксель к пикселю", "Điểm tới điểm", "點對點"};
const char* const kW[5] = {"宽", "W", "Ширина", "Rộng", "寬"};
const char* const kH[5] = {"高", "H", "Высота", "Cao", "高"};
const char* const kMirror[5] = {"镜像", "mirror", "Отражение", "Ảnh phản chiếu", "鏡像"};
const char* const kNamePrefix[5] = {"名称:", "Name:", "Название:", "Tên:", "名稱:"};
const char* const kDefaultName[5] = {"画面名称:画面%1", "Name:Image%1", "Название:Канал%1", "Tên:Hình ảnh%1",
                                     "畫麵名稱:畫麵%1"};
const char* const kSourcePrefix[5] = {"信源:", "Source:", "Источник:", "Nguồn tín hiệu:", "信源:"};
const char* const kStatePrefix[5] = {"画面状态:", "Image state:", "Состояние:", "Trạng thái:", "畫麵狀態:"};
const char* const kOn[5] = {"开启", "ON", "Вкл", "Mở", "開啟"};
const char* const kOff[5] = {"关闭", "OFF", "Откл", "Đóng", "關閉"};
const char* const kComboItems[4][5] = {
    {"点对点关闭", "OFF", "Откл", "Đóng", "點對點關閉"},
    {"点对点开启", "ON", "Вкл", "Mở", "點對點開啟"},
    {"HD3,HD4水平拼接", "HD3,HD4 Hor", "Гор HD3,HD4", "Nối ngang HD3,HD4", "HD3,HD4水平拼接"},
    {"HD3,HD4垂直拼接", "HD3,HD4 Ver", "Вер HD3,HD4", "Ghép dọc HD3,HD4", "HD3,HD4垂直拼接"},
};

const char* const kTileFrameStyle = "#frame_image{border:1px solid;border-left-color:rgb(255,171,84);"
                                    "border-right-color:rgb(255,171,84);border-top-color:rgb(255,171,84);}";
const char* const kPanelStyle = "#frame{border:1px solid rgb(255,171,84);}";
const char* const kTileColours[6] = {"rgb(134, 122, 233)", "rgb(0, 90, 141)",   "rgb(57, 169, 203)",
                                     "rgb(235, 168, 58)",  "rgb(255, 150, 173)", "rgb(213, 229, 255)"};
const char* const kFieldStyle = "color: rgb(255, 255, 255);background-color: rgb(16, 16, 28);"
                                "border:1px solid rgb(255, 255, 255);";
const char* const kComboStyle = "QComboBox{\ncolor:rgb(255,255,255);\nborder:1px solid rgb(255, 255, 255);\n}\n"
                                "QComboBox::drop-down{\n\tborder-style:none;\n}";
const char* const kFieldNames[4] = {"lineEdit_X", "lineEdit_Y", "lineEdit_W", "lineEdit_H"};
const int kFieldX[4] = {16, 89, 171, 259};
const int kMirrorX[4] = {117, 168, 221, 263};
// +18 flags bit 8; +22 mode 0, 8, 9 show items 1, 2, 3.
constexpr uint16_t kP2pModes[3] = {0, 8, 9};
} // namespace

ImageLayout::ImageLayout(QWidget* parent) : QDialog(parent), PageBase(this, PageFocus::ImageLayout, "ImageLayout")
{
    buildForm();
    menulist_init();
    for (const auto& item : kComboItems)
        comboBox_P2P->addItem(L10n::pick(item)); // written once: a later language keeps them
    TextFit::fitChoices(comboBox_P2P);
    image_init();
    image_para_update();
    language_changed();
}

ImageLayout::~ImageLayout()
{
    clearInstancePointer();
}

void ImageLayout::clearInstancePointer()
{
    if (g_imagelayout == this)
        g_imagelayout = nullptr;
}

const uint8_t* ImageLayout::block() const
{
    return KelRamPara::p_kelrampara_config->RamBlock;
}

void ImageLayout::buildForm()
{
    PageForm::setupPage(this, "ImageLayout");
    PageForm::setPointSize(this, 9);
    const QString white = QString::fromLatin1(PageForm::kWhiteText);
    label_title = PageForm::title(this, QRect(50, 10, 220, 22));
    for (int i = 0; i < 6; ++i) {
        const QRect r = i == 1 ? QRect(10 + 51 * i, 43, 45, 38) : QRect(10 + 51 * i, 42, 45, 40);
        const QByteArray name = QStringLiteral("label%1").arg(i + 1).toLatin1();
        QLabel* tile = PageForm::label(this, name.constData(), r,
                                       QStringLiteral("background-color: %1;").arg(kTileColours[i]));
        tile->setAlignment(Qt::AlignCenter);
        tile->setText(QString::number(i + 1));
    }
    frame_image = new QFrame(this);
    frame_image->setObjectName(QStringLiteral("frame_image"));
    frame_image->setFrameShape(QFrame::StyledPanel);
    frame_image->setFrameShadow(QFrame::Raised);
    frame = new QFrame(this);
    frame->setObjectName(QStringLiteral("frame"));
    frame->setGeometry(7, 87, 306, 148);
    frame->setFrameShape(QFrame::StyledPanel);
    frame->setFrameShadow(QFrame::Raised);
    image_name = PageForm::label(frame, "image_name", QRect(5, 6, 120, 20), white, 7);
    image_name->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    image_source = PageForm::label(frame, "image_source", QRect(155, 6, 140, 20), white, 7);
    image_source->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    image_state = PageForm::label(frame, "image_state", QRect(5, 34, 120, 16), white, 7);
    label_P2P = PageForm::label(frame, "label_P2P", QRect(5, 55, 105, 20), white, 7);
    comboBox_P2P = new QComboBox(frame);
    comboBox_P2P->setObjectName(QStringLiteral("comboBox_P2P"));
    comboBox_P2P->setGeometry(110, 55, 90, 20);
    comboBox_P2P->setFocusPolicy(Qt::NoFocus);
    comboBox_P2P->setStyleSheet(QString::fromLatin1(kComboStyle));
    PageForm::setPointSize(comboBox_P2P, 7);
    PageForm::label(frame, "label_X", QRect(3, 87, 8, 16), white, 7)->setText(QStringLiteral("X"));
    PageForm::label(frame, "label_Y", QRect(78, 88, 8, 16), white, 7)->setText(QStringLiteral("Y"));
    label_W = PageForm::label(frame, "label_W", QRect(135, 88, 35, 16), white, 7);
    label_W->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label_H = PageForm::label(frame, "label_H", QRect(220, 88, 35, 16), white, 7);
    label_H->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    for (int i = 0; i < 4; ++i) {
        // Display only: no keyboard is connected to these fields.
        // The width field's ground is rgb(16, 16, 26), as the form has it.
        QString style = QString::fromLatin1(kFieldStyle);
        if (i == 2)
            style.replace(QLatin1String("rgb(16, 16, 28)"), QLatin1String("rgb(16, 16, 26)"));
        fields_[i] = PageForm::field(frame, kFieldNames[i], QRect(kFieldX[i], 86, 40, 20), style);
        PageForm::setPointSize(fields_[i], 7);
        fields_[i]->setAlignment(Qt::AlignCenter);
        fields_[i]->setFocusPolicy(Qt::NoFocus);
        fields_[i]->setReadOnly(true);
    }
    label_mirror = PageForm::label(frame, "label_mirror", QRect(5, 119, 106, 16), white, 7);
    for (int i = 0; i < 4; ++i) {
        const QByteArray name = QStringLiteral("mirror%1").arg(i + 1).toLatin1();
        mirrors_[i] = PageForm::label(frame, name.constData(), QRect(kMirrorX[i], 109, 32, 32), QString());
        mirrors_[i]->setScaledContents(true);
    }
}

void ImageLayout::menulist_init()
{
    ui_select = g_image_current < 6 ? g_image_current : 0;
}

void ImageLayout::image_init()
{
    frame_image->setGeometry(7 + 51 * ui_select, 39, 51, 49);
    frame_image->setStyleSheet(QString::fromLatin1(kTileFrameStyle));
    frame_image->lower(); // its border shows around the tile it frames
    // Any non-zero on word reads as on here.
    const bool on = RamLayout::u16(block(), RamLayout::imageRecord(ui_select) + RamLayout::kImgEnable) != 0;
    image_state->setText(L10n::pick(kStatePrefix) + L10n::pick(on ? kOn : kOff));
}

void ImageLayout::image_para_update()
{
    const int w = ui_select;
    const size_t rec = RamLayout::imageRecord(w);
    ALIAS_PARA alias;
    if (get_json_alias_para(&alias, "win", w) != 0) {
        const QString text = L10n::pick(kNamePrefix) + QString::fromStdString(alias.name);
        image_name->setText(image_name->fontMetrics().elidedText(text, Qt::ElideRight, image_name->width()));
    } else {
        image_name->setText(L10n::pick(kDefaultName).arg(w + 1));
    }
    const int source = KelRamPara::imageSource(block(), w, 0, nullptr, nullptr);
    image_source->setText(L10n::pick(kSourcePrefix) +
                          sourceinfo::get_source_name_by_sourceid(static_cast<uint8_t>(source)));
    const size_t offsets[4] = {RamLayout::kImgX, RamLayout::kImgY, RamLayout::kImgW, RamLayout::kImgH};
    for (int i = 0; i < 4; ++i)
        fields_[i]->setText(QString::number(RamLayout::u16(block(), rec + offsets[i])));
    mirror_select(RamLayout::u16(block(), rec + RamLayout::kImgMirror));
    if (!(RamLayout::u16(block(), rec + RamLayout::kImgFlags) & RamLayout::kFlagPointToPoint)) {
        comboBox_P2P->setCurrentIndex(0);
    } else {
        const uint16_t mode = RamLayout::u16(block(), rec + RamLayout::kImgP2pMode);
        for (int i = 0; i < 3; ++i) {
            if (mode == kP2pModes[i])
                comboBox_P2P->setCurrentIndex(i + 1);
        }
        // Any other mode keeps the item shown before.
    }
    frame->setStyleSheet(QString::fromLatin1(kPanelStyle));
}

void ImageLayout::mirror_select(int mirror)
{
    if (mirror < 0 || mirror > 3)
        return;
    for (int i = 0; i < 4; ++i) {
        PageForm::setPixmap(mirrors_[i],
                            QStringLiteral(":/png/mirror%1_%2.png").arg(i + 1).arg(i == mirror ? "on" : "off"));
    }
}

void ImageLayout::language_changed()
{
    label_title->setText(L10n::pick(kTitle));
    label_P2P->setText(L10n::pick(kP2P));
    TextFit::setText(label_W, L10n::pick(kW));
    TextFit::setText(label_H, L10n::pick(kH));
    label_mirror->setText(L10n::pick(kMirror));
    image_init();
    image_para_update();
}

void ImageLayout::syncUpdate(int reason)
{
    (void)reason;
    // A view of the settings as the page was opened: only a language change
    // redraws it (and takes the current window again).
    if (KelRamPara::p_kelrampara_config->KelLanguageChanged() == 0)
        return;
    menulist_init();
    language_changed();
}

void ImageLayout::move(int delta)
{
    ui_select = static_cast<uint8_t>((ui_select + delta + 6) % 6);
    image_init();
    image_para_update();
    g_image_current = ui_select;
    KelRamPara::p_kelrampara_config->test_signal(SYNC_PARA);
}

void ImageLayout::onBack()
{
    returnTo(PageOpener::parentOf(pageFocus()));
}

QString ImageLayout::releaseLine(PanelKey key) const
{
    if (key == PanelKey::Left || key == PanelKey::Right) {
        return QString::asprintf("this is %s-code [ImageLayout][Release] ui_select=%#x",
                                 key == PanelKey::Left ? "left" : "right", ui_select);
    }
    return PageBase::releaseLine(key);
}
