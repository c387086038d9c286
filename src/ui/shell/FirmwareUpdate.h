#pragma once
#include <QDialog>

#include <cstdint>

class QLabel;

// The popup shown while a program or file transfer or the USB-stick upgrade
// runs: a picture bobbing up and down and "Updating" with growing dots. It
// is not a page: it takes no keys and leaves the page focus alone. The
// 10 ms tick animates it (update_time_deal) while g_update_flag is set.
class FirmwareUpdate : public QDialog {
    Q_OBJECT
public:
    static constexpr int kPictureX = 128;
    static constexpr int kPictureTop = 60;
    static constexpr int kPictureBottom = 116;
    static constexpr int kPictureSize = 64;
    static constexpr int kTextY = 200;
    static constexpr int kTextHeight = 17;

    explicit FirmwareUpdate(QWidget* parent = nullptr);
    ~FirmwareUpdate() override;

    void language_changed();
    // Called by the tick: a picture step on even ticks, a text step every
    // 100 ticks (each at most once per call), then an immediate repaint.
    void update_time_deal();
    void handleTimerID1();
    void handleTimerID2();

protected:
    void timerEvent(QTimerEvent* event) override;
    // Closed by any path: the deletion follows, so the pointer goes now.
    void closeEvent(QCloseEvent* event) override;

private:
    void placeText(const QString& text, int pixelsPerChar);

    QLabel* picture_ = nullptr;
    QLabel* text_ = nullptr;
    int pic_x_ = kPictureX;
    int pic_y_ = kPictureTop;
    int text_count_ = 0;
    uint8_t moving_down_ = 1;
    // The tick of the last step check, once the first call has been made.
    uint32_t lastTick_ = 0;
    bool ticked_ = false;
    // The popup starts no timer of its own; the ids stay empty.
    int picture_timer_ = 0;
    int text_timer_ = 0;
};

// The one open popup, null when none is open.
extern FirmwareUpdate* g_move_update;

// Open (or show again) and close the popup. Safe from any thread: a call
// from another thread is carried into the GUI thread and acts on the popup
// open at that time.
void firmware_update_start();
void firmware_update_over();
