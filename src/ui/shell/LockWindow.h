#pragma once
#include "params/RamLayout.h"
#include "ui/shell/PageBase.h"

#include <QDialog>
#include <QString>

#include <array>

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
    // What one window row shows.
    struct PanelRow {
        bool current = false;   // the current-window marker
        bool shown = false;     // else the off text alone
        QString source;         // input name (elided when plain)
        bool elide = false;
        QString state;
        bool freeze = false;
        bool operator==(const PanelRow& o) const;
        bool operator!=(const PanelRow& o) const { return !(*this == o); }
    };
    using PanelRows = std::array<PanelRow, RamLayout::kWindows>;

    void buildForm();
    QLabel* iconLabel(const QRect& geometry, const char* picture, const char* name);
    QLabel* textLabel(QWidget* parent, const QRect& geometry, const char* name);
    void setLedSize();
    void setAudioIcon();
    PanelRows panelRows() const;
    PanelRow rowOf(int window, uint16_t ledSwitch) const;
    // Replaces the window panel with one showing these rows.
    void buildPanel(const PanelRows& rows);
    void addWindowRow(int window, const PanelRow& row);
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
    PanelRows panelShows_;   // what the window panel shows now
};
