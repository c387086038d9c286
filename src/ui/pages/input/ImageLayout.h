#pragma once
#include "ui/shell/PageBase.h"

#include <QDialog>

class QComboBox;
class QFrame;
class QLabel;
class My_lineEdit;

// The screen layout page: six numbered window tiles with a frame around the
// selected one and the selected window's settings below. A view: Left and
// Right only move the selection, which is the panel's current window
// (g_image_current).
class ImageLayout : public QDialog, public PageBase {
    Q_OBJECT
public:
    explicit ImageLayout(QWidget* parent = nullptr);
    ~ImageLayout() override;

    void language_changed() override;
    void syncUpdate(int reason) override;

    void menulist_init();
    void image_init();
    void image_para_update();
    void mirror_select(int mirror);

    int selected() const { return ui_select; }

protected:
    void keyPressEvent(QKeyEvent* event) override { handleKeyPress(event); }
    void keyReleaseEvent(QKeyEvent* event) override { handleKeyRelease(event); }
    void onLeft() override { move(-1); }
    void onRight() override { move(1); }
    void onBack() override;
    void clearInstancePointer() override;
    QString releaseLine(PanelKey key) const override;

private:
    void buildForm();
    void move(int delta);
    const uint8_t* block() const;

    uint8_t ui_select = 0;
    QLabel* label_title = nullptr;
    QFrame* frame_image = nullptr;
    QFrame* frame = nullptr;
    QLabel* image_name = nullptr;
    QLabel* image_source = nullptr;
    QLabel* image_state = nullptr;
    QLabel* label_P2P = nullptr;
    QLabel* label_W = nullptr;
    QLabel* label_H = nullptr;
    QLabel* label_mirror = nullptr;
    QComboBox* comboBox_P2P = nullptr;
    My_lineEdit* fields_[4] = {};
    QLabel* mirrors_[4] = {};
};
