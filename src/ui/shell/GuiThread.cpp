#include "ui/shell/GuiThread.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QPointer>
#include <QThread>

namespace {
QPointer<QObject> g_context;
}

void GuiThread::setContext(QObject* context)
{
    g_context = context;
}

void GuiThread::run(std::function<void()> fn)
{
    QObject* ctx = g_context ? g_context.data() : QCoreApplication::instance();
    if (!ctx)
        return;
    QMetaObject::invokeMethod(ctx, std::move(fn), Qt::QueuedConnection);
}

bool GuiThread::isGuiThread()
{
    QCoreApplication* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}
