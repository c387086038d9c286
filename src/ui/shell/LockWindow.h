#pragma once
#include "ui/shell/PageBase.h"

#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;

// The lock/home screen (page 0): LED size, IP address, brightness,
// contrast, the audio state and one row per window with its input and
// signal. OK, a mouse release or the hidden menu button lead to the main
// menu; Mode opens the user-mode page. A new object each time it is shown.
class LockWindow : public QDialog, public PageBase {
    Q_OBJECT
public:
    explicit LockWindow(QWidget* parent = nullptr);
    ~LockWindow() override;

    // Constructs a new home screen, stores it in g_lockwindow, gives it the
    // focus (page 0) and shows it.
    static LockWindow* openNew();

    void para_init();
    void image_init();
    void ip_changed();
    bool volume_check() const;
    void language_changed() override;
    void syncUpdate(int reason) override;

    QFrame* windowPanel() const { return panel_; }

public slots:
    void on_main_Button_clicked();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override { handleKeyRelease(event); }
    void onOk() override;
    void clearInstancePointer() override;
    QString releaseLine(PanelKey key) const override;

private:
    void buildForm();
    QLabel* iconLabel(const QRect& geometry, const char* picture, const char* name);
    QLabel* textLabel(QWidget* parent, const QRect& geometry, const char* name);
    void setLedSize();
    void setAudioIcon();
    void addWindowRow(int window, uint16_t ledSwitch);
    void leaveForMainMenu();

    QWidget* widget_ = nullptr;
    QLabel* label_input = nullptr;
    QLabel* label_IPaddr = nullptr;
    QLabel* label_bright = nullptr;
    QLabel* label_contrast = nullptr;
    QLabel* label_volume_icon = nullptr;
    QLabel* label_volume = nullptr;
    QPushButton* main_Button = nullptr;
    QFrame* panel_ = nullptr;
    bool leaving_ = false;
};
