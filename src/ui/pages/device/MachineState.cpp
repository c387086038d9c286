#include "ui/pages/device/MachineState.h"

#include "inputs/sourceinfo.h"
#include "ledout/OutputPorts.h"
#include "ledout/fpga_manage.h"
#include "params/KelRamPara.h"
#include "params/ProgramVersion.h"
#include "params/SyncReason.h"
#include "params/Utils.h"
#include "params/global.h"
#include "ui/shell/L10n.h"
#include "ui/shell/PageFocus.h"
#include "ui/shell/PageForm.h"
#include "ui/shell/PagePointers.h"
#include "ui/shell/TextFit.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>

namespace {
const char* const kWhite = "color: rgb(255, 255, 255);";
const char* const kPanel = "background-color: rgb(33, 36, 53);";

// The input columns, left to right, by source_id.
constexpr uint8_t kColumnSource[RamLayout::kSources] = {2, 3, 4, 5, 1, 0};
constexpr int kColumnX[RamLayout::kSources] = {5, 55, 105, 155, 205, 245};
constexpr int kPixmapX[RamLayout::kSources] = {7, 57, 107, 157, 205, 245};

const L10n::Texts kTitle = {"设备信息", "Devices", "Устройство", "Thiết bị", "設備信息"};
// Side pictures per language: version, output, input (Vietnamese and
// Traditional Chinese reuse the English and Chinese ones).
const char* const kVersionIcon[5] = {"version_state", "en_version_state", "ru_version_state", "en_version_state",
                                     "version_state"};
const char* const kOutputIcon[5] = {"output_state", "output_state", "ru_output_state", "output_state",
                                    "output_state"};
const char* const kInputIcon[5] = {"input_state", "input_state", "ru_input_state", "input_state", "input_state"};

QFrame* panel(QWidget* parent, const char* name, const QRect& geometry, const QString& style)
{
    auto* f = new QFrame(parent);
    f->setObjectName(QString::fromLatin1(name));
    f->setGeometry(geometry);
    f->setStyleSheet(style);
    f->setFrameShape(QFrame::StyledPanel);
    f->setFrameShadow(QFrame::Raised);
    return f;
}

QLabel* scaledPicture(QWidget* parent, const char* name, const QRect& geometry)
{
    QLabel* l = PageForm::label(parent, name, geometry, QString());
    l->setScaledContents(true);
    return l;
}
} // namespace

MachineState::MachineState(QWidget* parent) : QDialog(parent), PageBase(this, PageFocus::MachineState, "MachineState")
{
    buildForm();
    initWlan();
    language_changed();
    version_changed();
    source_check();
    const QString barcode = Utils::configValue(g_str_barcode);
    // The configured barcode is shown as it is, never as markup.
    if (barcode != QStringLiteral(" "))
        label_2->setText(QStringLiteral("SN:") + barcode);
}

MachineState::~MachineState()
{
    clearInstancePointer();
}

void MachineState::clearInstancePointer()
{
    if (g_machinestate == this)
        g_machinestate = nullptr;
}

void MachineState::buildForm()
{
    PageForm::setupPage(this, "MachineState");
    setFont(PageForm::pointFont(15));
    QPushButton* back = PageForm::button(this, "Button_back", QRect(5, 5, 20, 20), QString());
    PageForm::setIcon(back, QStringLiteral(":/png/back.png"), 32, 32);
    back->hide(); // the page is left with the Back key only
    label_title = PageForm::label(this, "label_title", QRect(50, 10, 220, 15), QString::fromLatin1(kWhite), 10);
    label_title->setAlignment(Qt::AlignCenter);
    frame = panel(this, "frame", QRect(5, 30, 310, 200),
                  QStringLiteral("#frame{border:1px solid rgb(133, 129, 153);}"));
    frame->setFrameShape(QFrame::Box);
    label_2 = PageForm::label(frame, "label_2", QRect(20, 5, 160, 15), QString::fromLatin1(kWhite), 7);
    label_2->setText(QStringLiteral("SN:QJ9999"));
    label_state1 = scaledPicture(frame, "label_state1", QRect(5, 20, 15, 65));
    label_state2 = scaledPicture(frame, "label_state2", QRect(5, 88, 15, 55));
    label_state3 = scaledPicture(frame, "label_state3", QRect(5, 145, 15, 40));

    QFrame* frame_3 = panel(frame, "frame_3", QRect(20, 85, 288, 60), QString::fromLatin1(kPanel));
    for (int c = 0; c < RamLayout::kSources; ++c) {
        const uint8_t id = kColumnSource[c];
        const int w = c < 4 ? 45 : 35;
        const QByteArray name = QByteArray("sourceid") + QByteArray::number(c) + "name";
        QLabel* l = PageForm::label(frame_3, name.constData(), QRect(kColumnX[c], 10, w, 15),
                                    QString::fromLatin1(kWhite), 6);
        l->setAlignment(Qt::AlignCenter);
        // The name styles are the program's own markup around a fixed name.
        l->setTextFormat(Qt::RichText);
        l->setText(sourceinfo::get_source_specialstyle0_by_sourceid(id).arg(sourceinfo::get_source_name_by_sourceid(id)));
        const QByteArray pix = QByteArray("sourceid") + QByteArray::number(c) + "pixmap";
        sourcePixmap_[id] = scaledPicture(frame_3, pix.constData(), QRect(kPixmapX[c], 30, 35, 15));
    }

    QFrame* frame_4 = panel(frame, "frame_4", QRect(20, 145, 288, 45), QString::fromLatin1(kPanel));
    label_MCU = PageForm::label(frame_4, "label_MCU", QRect(3, 15, 140, 15), QString::fromLatin1(kWhite), 7);
    label_FPGA1 = PageForm::label(frame_4, "label_FPGA1", QRect(150, 15, 140, 15), QString::fromLatin1(kWhite), 7);
    // The second FPGA's line keeps its placeholder and is never shown.
    label_FPGA2 = PageForm::label(frame_4, "label_FPGA2", QRect(145, 25, 140, 15), QString::fromLatin1(kWhite), 7);
    label_FPGA2->setText(QStringLiteral("FPGA2:999"));
    label_FPGA2->hide();
}

QString MachineState::fpgaVersion(uint8_t r28, uint8_t r29, uint8_t r30, uint8_t r31)
{
    return QString::asprintf("FPGA:V%02x.%02x.%02x %04x-%02x-%02x", 0x11u, 0u, unsigned(r28), 0x2000u + r31,
                             unsigned(r30), unsigned(r29));
}

void MachineState::version_changed()
{
    label_MCU->setText(QStringLiteral("MCU:") + ProgramVersion::text());
    uint8_t regs[4] = {0, 0, 0, 0};
    if (fpga_manage* fpga = fpga_manage::p_fpga_manage) {
        for (int i = 0; i < 4; ++i)
            regs[i] = fpga->reg_image(uint8_t(fpga_manage::FPGA_REG_VERSION + i), 0);
    }
    TextFit::setText(label_FPGA1, fpgaVersion(regs[0], regs[1], regs[2], regs[3]));
}

bool MachineState::sourcePresent(const uint8_t* block, int source)
{
    const size_t at = RamLayout::srcVideoInfo(source);
    return RamLayout::u16(block, at) != 0 && RamLayout::u16(block, at + 2) != 0 && RamLayout::u16(block, at + 4) != 0;
}

void MachineState::source_check()
{
    KelRamPara* store = KelRamPara::p_kelrampara_config;
    if (!store)
        return;
    uint8_t block[RamLayout::kBlockSize];
    store->snapshotBlock(block);
    for (uint8_t id = 0; id < RamLayout::kSources; ++id)
        PageForm::setPixmap(sourcePixmap_[id], sourceinfo::online_icon_path(id, sourcePresent(block, id) ? 1 : 0));
}

void MachineState::initWlan()
{
    delete wlan_frame;
    wlan_frame = panel(frame, "wlan_frame", QRect(20, 20, 288, 65), QString::fromLatin1(kPanel));
    wlan_frame->setFrameShape(QFrame::NoFrame);
    const uint32_t mask = OutputPorts::linkMask();
    for (int i = 0; i < OutputPorts::kPorts; ++i) {
        const int x = 2 + 18 * i;
        const QByteArray number = "port" + QByteArray::number(i + 1);
        QLabel* n = PageForm::label(wlan_frame, number.constData(), QRect(x + 4, 13, 12, 14),
                                    QStringLiteral("color: rgb(255, 255, 255);font: 10px"));
        n->setText(QString::number(i + 1));
        const QByteArray icon = "port" + QByteArray::number(i + 1) + "link";
        QLabel* l = scaledPicture(wlan_frame, icon.constData(), QRect(x, 27, 16, 14));
        PageForm::setPixmap(l, OutputPorts::portOnline(mask, i) ? QStringLiteral(":/png/online.png")
                                                                : QStringLiteral(":/png/offline.png"));
    }
    wlan_frame->show();
}

void MachineState::language_changed()
{
    TextFit::setText(label_title, L10n::pick(kTitle));
    const int lang = L10n::language();
    PageForm::setPixmap(label_state3, L10n::plainIcon(kVersionIcon[lang]));
    PageForm::setPixmap(label_state1, L10n::plainIcon(kOutputIcon[lang]));
    PageForm::setPixmap(label_state2, L10n::plainIcon(kInputIcon[lang]));
}

void MachineState::syncUpdate(int reason)
{
    KelRamPara* store = KelRamPara::p_kelrampara_config;
    if (store && store->KelLanguageChanged())
        language_changed();
    source_check();
    if (fpga_manage::p_fpga_manage && reason == SYNC_WLAN_STATE)
        initWlan();
}

void MachineState::onBack()
{
    returnTo(PageFocus::MainWindow);
}
