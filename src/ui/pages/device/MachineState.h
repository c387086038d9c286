#pragma once
#include "ui/shell/PageBase.h"

#include <QDialog>

class QFrame;
class QLabel;

// The device state page (page 2): serial number, the link of the 16 output
// ports, which inputs carry a signal, and the program and FPGA versions.
// Read-only: no entries, Left/Right/OK only reach the keypad handler.
class MachineState : public QDialog, public PageBase {
    Q_OBJECT
public:
    explicit MachineState(QWidget* parent = nullptr);
    ~MachineState() override;

    void version_changed();
    void source_check();
    void initWlan();
    void language_changed() override;
    void syncUpdate(int reason) override;

    // Input present: the three words of its src_video_info are non-zero.
    static bool sourcePresent(const uint8_t* block, int source);
    // The FPGA line from FPGA 0's version registers 28..31.
    static QString fpgaVersion(uint8_t r28, uint8_t r29, uint8_t r30, uint8_t r31);

protected:
    void keyPressEvent(QKeyEvent* event) override { handleKeyPress(event); }
    void keyReleaseEvent(QKeyEvent* event) override { handleKeyRelease(event); }
    void onBack() override;
    void clearInstancePointer() override;

private:
    void buildForm();

    QLabel* label_title = nullptr;
    QFrame* frame = nullptr;
    QLabel* label_2 = nullptr;
    QLabel* label_state1 = nullptr;
    QLabel* label_state2 = nullptr;
    QLabel* label_state3 = nullptr;
    QFrame* wlan_frame = nullptr;
    QLabel* label_MCU = nullptr;
    QLabel* label_FPGA1 = nullptr;
    QLabel* label_FPGA2 = nullptr;
    QLabel* sourcePixmap_[6] = {};
};
