#pragma once
#include <QDialog>

class QFrame;

// The notice popup: a grey box over the current page, with a check mark
// (kind 1) or a USB-stick message (kinds 3, 4, 5), hidden by the tick on
// its 300th call. tip_create blocks in the popup's modal loop until then.
class TIP : public QDialog {
    Q_OBJECT
public:
    static constexpr int kShownTicks = 300;

    explicit TIP(QWidget* parent = nullptr);

    void tip_create(int tip_kind);
    void tip_show();
    void tip_outtime_deal();

    QFrame* tip_frame = nullptr;
    int tip_count = 0;

private:
    void buildCheckMark();
    void buildMessage(int kind);
};
