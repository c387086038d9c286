#pragma once
#include "ui/shell/FocusRing.h"
#include "ui/shell/PageBase.h"

#include <QDialog>

class QComboBox;
class QLabel;

// The factory settings page (page 18): the panel language box and the three
// factory resets. OK on the box starts stepping the pending language through
// the offered ones (red frame); OK again commits it once. OK on a reset
// button runs that reset at once.
class factory : public QDialog, public PageBase {
    Q_OBJECT
public:
    explicit factory(QWidget* parent = nullptr);
    ~factory() override;

    void menulist_init();
    void on_Button_lang_clicked();
    void language_changed() override;
    void syncUpdate(int reason) override;

    int pendingLanguage() const { return pending_; }
    bool editing() const { return ring_.editing(); }
    // The two rich-text font lines ("CN:..." and "EN:...") for the fonts
    // the scaler's flash holds, in the current panel language.
    static QString fontLine(uint32_t bits, bool english);

protected:
    void keyPressEvent(QKeyEvent* event) override { handleKeyPress(event); }
    void keyReleaseEvent(QKeyEvent* event) override { handleKeyRelease(event); }
    QString releaseLine(PanelKey key) const override;
    void onLeft() override { move(-1); }
    void onRight() override { move(1); }
    void onOk() override;
    void onBack() override;
    void clearInstancePointer() override;

private:
    void buildForm();
    void move(int direction);

    QComboBox* Box_lang_2 = nullptr;
    QLabel* texts_[7] = {};
    QLabel* FontCN = nullptr;
    QLabel* FontEN = nullptr;
    FocusRing ring_;
    int pending_ = 0;
};
