#pragma once
#include <QObject>

class QWidget;

// Keeps a popup (keyboard, notice, upgrade or progress popup, a form) above
// every page each time it is shown. A popup window is made once and shown
// again and again, while pages opened after it stack above it; mapping a
// window again leaves it where it stood, and without a window manager
// nothing lifts it. So every show raises the popup and gives it the keys,
// on whatever platform plugin the panel runs.
class PopupStack : public QObject {
public:
    static void keepOnTop(QWidget* popup);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit PopupStack(QWidget* popup);
};
