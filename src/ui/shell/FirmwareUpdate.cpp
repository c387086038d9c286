#include "ui/shell/FirmwareUpdate.h"

#include "params/global.h"
#include "ui/shell/GuiThread.h"
#include "ui/shell/L10n.h"
#include "ui/shell/PageBase.h"
#include "ui/shell/PopupStack.h"

#include <QLabel>
#include <QCloseEvent>
#include <QPixmap>
#include <QTimerEvent>

#include <cstdio>

FirmwareUpdate* g_move_update = nullptr;

namespace {
// The trailing blank belongs to each text (zh, en, ru, vn, tw).
const char* const kUpdating[5] = {"升级中，请勿断电 ", "Updating ", "Updating ", "Updating ", "昇級中，請勿斷電 "};
constexpr int kPanelWidth = 320;
constexpr int kStepPixels = 13; // per character once the dots run
constexpr int kTextStepTicks = 100;

int firstPixelsPerChar()
{
    const int lang = L10n::language();
    return (lang == L10n::Chinese || lang == L10n::TraditionalChinese) ? 13 : 15;
}
} // namespace

FirmwareUpdate::FirmwareUpdate(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FirmwareUpdate"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowFlags(windowFlags() | Qt::FramelessWindowHint);
    setFixedSize(320, 240);
    PopupStack::keepOnTop(this);
    setStyleSheet(QStringLiteral("background-color: rgb(16, 16, 28);"));
    picture_ = new QLabel(this);
    picture_->setObjectName(QStringLiteral("label_picture"));
    picture_->setPixmap(QPixmap(QStringLiteral(":/png/update.png")));
    picture_->setScaledContents(true);
    picture_->setGeometry(pic_x_, pic_y_, kPictureSize, kPictureSize);
    text_ = new QLabel(this);
    text_->setObjectName(QStringLiteral("label_text"));
    text_->setTextFormat(Qt::PlainText);
    text_->setAlignment(Qt::AlignCenter);
    text_->setStyleSheet(QStringLiteral("color: #FFFFFF;font: 13px"));
    language_changed();
}

FirmwareUpdate::~FirmwareUpdate()
{
    if (g_move_update == this)
        g_move_update = nullptr;
}

void FirmwareUpdate::language_changed()
{
    placeText(L10n::pick(kUpdating), firstPixelsPerChar());
}

void FirmwareUpdate::placeText(const QString& text, int pixelsPerChar)
{
    const int width = text.size() * pixelsPerChar;
    text_->setGeometry((kPanelWidth - width) / 2, kTextY, width, kTextHeight);
    text_->setText(text);
}

void FirmwareUpdate::update_time_deal()
{
    // The steps fall on even ticks and on multiples of 100 ticks; a call
    // that comes after several periods takes a step that fell among them.
    const uint32_t now = G_timeTicks;
    if (!ticked_) {
        lastTick_ = now - 1;   // the first call looks at its own tick only
        ticked_ = true;
    }
    if (now != lastTick_) {
        if (now / 2 != lastTick_ / 2)
            handleTimerID1();
        if (now / kTextStepTicks != lastTick_ / kTextStepTicks)
            handleTimerID2();
        lastTick_ = now;
    }
    repaint();
}

void FirmwareUpdate::handleTimerID1()
{
    if (moving_down_) {
        if (pic_y_ != kPictureBottom) {
            ++pic_y_;
        } else {
            pic_y_ = kPictureBottom - 1;
            moving_down_ = 0;
        }
    } else {
        if (pic_y_ != kPictureTop) {
            --pic_y_;
        } else {
            pic_y_ = kPictureTop + 1;
            moving_down_ = 1;
        }
    }
    picture_->setGeometry(pic_x_, pic_y_, kPictureSize, kPictureSize);
}

void FirmwareUpdate::handleTimerID2()
{
    ++text_count_;
    static const char* const kDots[3] = {"...", ".", ".."};
    placeText(L10n::pick(kUpdating) + QLatin1String(kDots[text_count_ % 3]), kStepPixels);
}

void FirmwareUpdate::timerEvent(QTimerEvent* event)
{
    if (picture_timer_ && event->timerId() == picture_timer_)
        handleTimerID1();
    else if (text_timer_ && event->timerId() == text_timer_)
        handleTimerID2();
}

void FirmwareUpdate::closeEvent(QCloseEvent* event)
{
    if (g_move_update == this)
        g_move_update = nullptr;
    QDialog::closeEvent(event);
}

void firmware_update_start()
{
    if (!GuiThread::isGuiThread()) {
        GuiThread::run(&firmware_update_start);
        return;
    }
    if (!g_move_update) {
        g_move_update = new FirmwareUpdate(nullptr);
        // Over the panel, not centred on the screen.
        g_move_update->move(PageBase::mainOrigin());
    }
    g_move_update->show();
}

void firmware_update_over()
{
    if (!GuiThread::isGuiThread()) {
        GuiThread::run(&firmware_update_over);
        return;
    }
    if (!g_move_update)
        return;
    FirmwareUpdate* popup = g_move_update;
    g_move_update = nullptr;
    popup->close(); // deletes it later (WA_DeleteOnClose)
    if (g_debugSwitch == kDebugSwitchOn) {
        std::printf("\n update_over !!!");
        std::fflush(stdout);
    }
}
