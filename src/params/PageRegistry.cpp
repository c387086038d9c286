#include "params/PageRegistry.h"

PageRegistry& PageRegistry::instance()
{
    static PageRegistry registry;
    return registry;
}

void PageRegistry::join(int focus, SyncFn sync)
{
    if (focus < 0 || focus >= kPages)
        return;
    std::lock_guard<std::mutex> l(lock_);
    pages_[focus] = std::move(sync);
}

void PageRegistry::leave(int focus)
{
    if (focus < 0 || focus >= kPages)
        return;
    std::lock_guard<std::mutex> l(lock_);
    pages_[focus] = nullptr;
}

bool PageRegistry::refresh(int focus, int reason)
{
    if (focus < 0 || focus >= kPages)
        return false;
    SyncFn sync;
    {
        std::lock_guard<std::mutex> l(lock_);
        sync = pages_[focus];
    }
    // Called without the lock: a page may leave or open another page inside.
    if (!sync)
        return false;
    sync(reason);
    return true;
}

bool PageRegistry::has(int focus) const
{
    if (focus < 0 || focus >= kPages)
        return false;
    std::lock_guard<std::mutex> l(lock_);
    return static_cast<bool>(pages_[focus]);
}

void PageRegistry::setNoticeSink(NoticeFn sink)
{
    std::lock_guard<std::mutex> l(lock_);
    notice_ = std::move(sink);
}

void PageRegistry::notice(int tipKind)
{
    NoticeFn sink;
    {
        std::lock_guard<std::mutex> l(lock_);
        sink = notice_;
    }
    if (sink)
        sink(tipKind);
}

void PageRegistry::setModeTipSource(ModeTipFn source)
{
    std::lock_guard<std::mutex> l(lock_);
    modeTip_ = std::move(source);
}

bool PageRegistry::takeModeTip()
{
    ModeTipFn source;
    {
        std::lock_guard<std::mutex> l(lock_);
        source = modeTip_;
    }
    return source && source();
}

void PageRegistry::clear()
{
    std::lock_guard<std::mutex> l(lock_);
    for (auto& p : pages_)
        p = nullptr;
    notice_ = nullptr;
    modeTip_ = nullptr;
}
