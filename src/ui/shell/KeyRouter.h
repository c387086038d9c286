#pragma once
#include <QObject>

class QWidget;

// Delivers every key event to the page that owns the keys, whichever
// window the platform handed it to (linuxfb, VNC and offscreen differ in
// which window is active): the active modal dialog when there is one (a
// page in its exec loop, the number keyboard), else the page named by
// g_page_focus. While a notice is shown the keys are dropped.
class KeyRouter : public QObject {
    Q_OBJECT
public:
    // Installs the router on the application (once).
    static void install();
    static QWidget* target();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit KeyRouter(QObject* parent) : QObject(parent) {}
};
