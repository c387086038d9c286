#pragma once
#include "ui/shell/PageBase.h"

#include <QFont>
#include <QWidget>

class QFrame;
class QLabel;
class QPushButton;
class kelcontrol;

// The user-mode page (page 4): browse the sixteen slots with a summary and
// a preview of each, recall a saved slot (Use), delete it (Delete), and
// look at the settings of a mode's own OSD menu (More). Shown, not run in a
// loop; the Mode key does nothing here but reach the keypad handler.
class CustomMode : public QWidget, public PageBase {
    Q_OBJECT
public:
    explicit CustomMode(QWidget* parent = nullptr);

    void language_changed() override;
    void syncUpdate(int reason) override;

    int selectedSlot() const { return ui_select; }
    bool inActionRow() const { return action_row != 0; }
    int focusedAction() const { return action_select; }
    bool moreOffered() const { return action_hidden == 0; }
    QWidget* preview() const { return preview_widget; }

public slots:
    void on_Button_use_clicked();
    void on_Button_delete_clicked();

protected:
    void keyPressEvent(QKeyEvent* event) override { handleKeyPress(event); }
    void keyReleaseEvent(QKeyEvent* event) override { handleKeyRelease(event); }
    void onLeft() override;
    void onRight() override;
    void onOk() override;
    void onBack() override;
    void onMode() override {}
    void clearInstancePointer() override;
    QString releaseLine(PanelKey key) const override;

private:
    void buildForm();
    void init();
    void menulist_init();
    // Selects ui_select and redraws the summary and the preview.
    void kel_button_mode_clicked();
    // op 0 focus (and redraw), 1 unfocus, 2 every action at rest.
    void kel_button_selinfo(int op, int index);
    bool get_mode_status() const;
    void moveSlot(int delta);
    void moveAction(int delta);
    void lcd_para_init();
    void image_para_init();

    kelcontrol* mode_box = nullptr;
    QWidget* preview_widget = nullptr;
    QFont preview_font;
    QFrame* frame = nullptr;
    QLabel* label_title = nullptr;
    QLabel* label_ID = nullptr;
    QLabel* label_name = nullptr;
    QLabel* label_LED = nullptr;
    QLabel* label_brightness = nullptr;
    QLabel* label_using = nullptr;
    QLabel* label_blank = nullptr;
    QPushButton* Button_use = nullptr;
    QPushButton* Button_delete = nullptr;
    QPushButton* Button_more = nullptr;
    uint8_t ui_select = 0;
    uint8_t action_row = 0;
    uint8_t action_select = 0;
    uint8_t action_hidden = 0;
};
