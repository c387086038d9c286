#include "ui/support/ShellFixture.h"

#include "support/KeyScript.h"

#include "params/ApplyGate.h"
#include "params/KelRamPara.h"
#include "params/PageRegistry.h"
#include "params/SyncUpdate.h"
#include "params/global.h"
#include "platform/Board.h"
#include "platform/sim/SimBoard.h"
#include "platform/sim/SimCommandRunner.h"
#include "resources/KelResources.h"
#include "ui/shell/KeyRouter.h"
#include "ui/shell/LockWindow.h"
#include "ui/shell/MainWindow.h"
#include "ui/shell/NumberKeyboard.h"
#include "ui/shell/PageBase.h"
#include "ui/shell/PageOpener.h"
#include "ui/shell/PagePointers.h"
#include "ui/shell/PageTable.h"
#include "ui/shell/PanelKeys.h"
#include "ui/shell/ShellGlobals.h"
#include "ui/shell/TIP.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QKeyEvent>
#include <QPainter>
#include <QPixmap>
#include <QTimer>

#include <cstring>

namespace kel::test {

namespace {
void resetGlobals()
{
    g_lcd_lang_valid = 0x1001F;
    g_language = 1;
    g_page_focus = 0;
    g_image_current = 0;
    g_kel_keys = 0;
    g_update_flag = 0;
    g_app_reset_flag = 0;
    G_reboot_tickTicks = 0;
    G_timeTicks = 0;
    G_factoryage_ticks = 0;
    g_delay_usbserver = 0;
    g_delay_usbserver_ticks = 0;
    g_tip_flag = 0;
    g_mode_shortcut_key = 0;
    pc_cmd_valid = 0;
    factoryage_log.clear();
    factoryage_log_diff3 = factoryage_log_diff5 = factoryage_log_diff10 = 0;
    factoryage_log_diff20 = factoryage_log_diffmore = 0;
    ApplyGate::instance().c331_apply_flag = 0;
}
} // namespace

void ShellFixture::SetUp()
{
    SimRootFixture::SetUp();
    resetGlobals();
    PageRegistry::instance().clear();
    PageTable::reset();
    PageOpener::clearMakers();
    MainWindow::hooks() = MainWindow::Hooks();
    KelResources::init();
    KeyRouter::install();
    store_ = std::make_unique<KelRamPara>();
    KelRamPara::p_kelrampara_config = store_.get();
    store_->load();
    g_language = 1; // the stored default is Chinese; tests read English
    sync_ = std::make_unique<SyncUpdate>();
    SyncUpdate::p_SyncUpdate = sync_.get();
    QObject::connect(store_.get(), SIGNAL(sig_update_para(int)), sync_.get(), SLOT(para_sync(int)));
    g_mainwindow = new MainWindow(nullptr);
    g_mainwindow->move(10, 20);
    g_mainwindow->show();
}

void ShellFixture::TearDown()
{
    closeEverything();
    delete g_lockwindow;
    settle();
    delete g_mainwindow;
    delete g_tip;
    g_tip = nullptr;
    delete g_numberkeyboard;
    g_numberkeyboard = nullptr;
    PageTable::reset();
    PageRegistry::instance().clear();
    SyncUpdate::p_SyncUpdate = nullptr;
    sync_.reset();
    KelRamPara::p_kelrampara_config = nullptr;
    store_.reset();
    SimRootFixture::TearDown();
}

void ShellFixture::closeEverything()
{
    PageTable::closeAllButMain();
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* d = qobject_cast<QDialog*>(w); d && d->isVisible() && d != g_lockwindow)
            d->hide();
    }
    g_tip_flag = 0;
    settle();
}

void ShellFixture::openHome()
{
    LockWindow::openNew();
}

void ShellFixture::key(int code)
{
    // Through notify, as the platform delivers keys, so the router sees them.
    sendPanelKey(g_mainwindow, code);
}

void ShellFixture::run(std::vector<Step> steps)
{
    steps.push_back([this]() { closeEverything(); });
    EXPECT_TRUE(runKeyScript(std::move(steps), [this]() { closeEverything(); })) << "key script did not finish";
}

ShellFixture::Step ShellFixture::keys(std::vector<int> codes)
{
    return [this, codes]() {
        for (int c : codes)
            key(c);
    };
}

void ShellFixture::type(std::vector<Step>& steps, const QString& text)
{
    auto press = [this](int index) {
        return [this, index]() {
            while (g_numberkeyboard->ui_select() != index)
                key(PanelKeys::kRight);
            key(PanelKeys::kOk);
        };
    };
    if (text.isEmpty())
        steps.push_back(press(NumberKeyboard::Delete));
    for (QChar c : text)
        steps.push_back(press(c == '0' ? int(NumberKeyboard::Digit0) : c.digitValue() - 1));
    steps.push_back(press(NumberKeyboard::Ok));
}

void ShellFixture::tick(int n)
{
    for (int i = 0; i < n; ++i)
        g_mainwindow->slot_update_timer_ticks();
}

void ShellFixture::settle()
{
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
    }
}

QString ShellFixture::grab(QWidget* widget, const QString& name)
{
    const QString dir = QDir::current().absoluteFilePath(QStringLiteral("artifacts"));
    QDir().mkpath(dir);
    const QString path = dir + "/" + name + ".png";
    widget->grab().save(path, "PNG");
    return path;
}

QWidget* ShellFixture::find(const QString& objectName)
{
    std::vector<QWidget*> roots;
    if (QWidget* modal = QApplication::activeModalWidget())
        roots.push_back(modal);
    if (PageBase* page = PageTable::at(g_page_focus))
        roots.push_back(page->pageWidget());
    for (QWidget* w : QApplication::topLevelWidgets())
        roots.push_back(w);
    for (QWidget* root : roots) {
        if (root->objectName() == objectName)
            return root;
        if (auto* child = root->findChild<QWidget*>(objectName))
            return child;
    }
    return nullptr;
}

QString ShellFixture::styleOf(const QString& objectName)
{
    QWidget* w = find(objectName);
    return w ? w->styleSheet() : QStringLiteral("<missing %1>").arg(objectName);
}

QString ShellFixture::iconOf(const QString& objectName)
{
    QWidget* w = find(objectName);
    return w ? w->property("iconPath").toString() : QStringLiteral("<missing %1>").arg(objectName);
}

QColor ShellFixture::pixel(QWidget* widget, int x, int y)
{
    return widget->grab().toImage().pixelColor(x, y);
}

QString ShellFixture::screenshot(const QString& name)
{
    PageBase* page = PageTable::at(g_page_focus);
    QWidget* front = page ? page->pageWidget() : static_cast<QWidget*>(g_mainwindow);
    QPixmap shot = front->grab();
    if (g_numberkeyboard && g_numberkeyboard->isVisible()) {
        QPainter painter(&shot);
        painter.drawPixmap(160, 0, g_numberkeyboard->grab());
    }
    const QString dir = QDir::current().absoluteFilePath(QStringLiteral("artifacts"));
    QDir().mkpath(dir);
    const QString path = dir + "/" + name + ".png";
    shot.save(path, "PNG");
    return path;
}

int ShellFixture::simChipPass()
{
    ApplyGate& gate = ApplyGate::instance();
    pthread_mutex_lock(&gate.c331_para_mutex);
    const int value = gate.c331_apply_flag.exchange(0);
    pthread_mutex_unlock(&gate.c331_para_mutex);
    // Broadcast outside the lock, as the chip thread must.
    if (value != 0)
        store_->test_signal(value);
    return value;
}

void ShellFixture::setU16(size_t off, uint16_t value)
{
    store_->setBlockU16(off, value);
}

uint16_t ShellFixture::u16(size_t off) const
{
    return store_->blockU16(off);
}

void ShellFixture::syncShadow()
{
    std::memcpy(store_->RamShadow, store_->RamBlock, sizeof(store_->RamBlock));
}

std::vector<std::string> ShellFixture::commands() const
{
    return platform::Board::sim()->commands().commands();
}

} // namespace kel::test
