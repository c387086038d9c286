#include "ui/shell/PageBase.h"

#include "params/KelRamPara.h"
#include "params/global.h"
#include "ui/shell/PageFocus.h"
#include "ui/shell/PageOpener.h"
#include "ui/shell/PageTable.h"
#include "ui/shell/PanelFields.h"

#include <QDebug>
#include <QKeyEvent>
#include <QWidget>

PageBase::PageBase(QWidget* self, uint8_t focus, const char* className)
    : self_(self), focus_(focus), class_(className)
{
}

PageBase::~PageBase()
{
    PageTable::leave(this);
}

void PageBase::takeFocus()
{
    PageTable::enter(this);
    g_page_focus = focus_;
    placeOverMain(self_);
}

void PageBase::closePage()
{
    if (closed_)
        return;
    closed_ = true;
    PageTable::leave(this);
    clearInstancePointer();
    self_->setAttribute(Qt::WA_DeleteOnClose);
    self_->close();
}

bool PageBase::panelLocked()
{
    KelRamPara* ram = KelRamPara::p_kelrampara_config;
    return ram && ram->blockU16(PanelFields::kPanelKeyLock) != 0;
}

QPoint PageBase::mainOrigin()
{
    PageBase* mainPage = PageTable::at(PageFocus::MainWindow);
    return mainPage ? mainPage->pageWidget()->pos() : QPoint(0, 0);
}

void PageBase::placeOverMain(QWidget* widget)
{
    PageBase* mainPage = PageTable::at(PageFocus::MainWindow);
    if (mainPage && widget != mainPage->pageWidget())
        widget->move(mainOrigin());
    if (widget->isVisible()) {
        widget->raise();
        widget->activateWindow();
    }
}

void PageBase::handleKeyPress(QKeyEvent* event)
{
    const int code = event->key();
    if (code == PanelKeys::kOk2)
        qDebug().noquote() << QString("this is OK button(%1)[Press]\n").arg(class_);
    else if (code == PanelKeys::kBack2)
        qDebug().noquote() << QString("this is back button(%1)[Press]\n").arg(class_);
}

QString PageBase::releaseLine(PanelKey key) const
{
    const QString cls = QString::fromLatin1(class_);
    switch (key) {
    case PanelKey::Left: return QString("this is left-code [%1][Release]").arg(cls);
    case PanelKey::Right: return QString("this is right-code [%1][Release]").arg(cls);
    case PanelKey::Ok: return QString("this is OK button(%1)[Release]\n").arg(cls);
    case PanelKey::Back: return QString("this is back button(%1)[Release]\n").arg(cls);
    case PanelKey::Mode: return QString("this is mode-code [%1][Release]").arg(cls);
    case PanelKey::Other: break;
    }
    return QString();
}

void PageBase::handleKeyRelease(QKeyEvent* event)
{
    const int code = event->key();
    const PanelKey key = PanelKeys::decode(code);
    qDebug().noquote() << QString::asprintf("in %s keyReleaseEvent event %#x", class_, code);
    if (key != PanelKey::Other)
        qDebug().noquote() << releaseLine(key);
    switch (key) {
    case PanelKey::Left: onLeft(); break;
    case PanelKey::Right: onRight(); break;
    case PanelKey::Ok: onOk(); break;
    case PanelKey::Back: onBack(); break;
    case PanelKey::Mode:
        if (panelLocked() || modeKeyHeld())
            return; // a locked or held Mode key reaches nothing, not even the keypad
        onMode();
        break;
    case PanelKey::Other: onOtherKey(code); break;
    }
    keyboard_.update_usb_keyEvent(code);
}

void PageBase::onMode()
{
    PageOpener::openUserModeByModeKey();
}

void PageBase::returnTo(uint8_t parentFocus)
{
    closePage();
    if (PageBase* parent = PageTable::at(parentFocus))
        parent->language_changed();
    g_page_focus = parentFocus;
    if (PageBase* parent = PageTable::at(parentFocus))
        placeOverMain(parent->pageWidget());
}
