#pragma once
#include <functional>
#include <mutex>

// The pages the change pass refreshes, keyed by their PageFocus number
// (0..26). A page joins when it opens and leaves when it closes; the pass
// skips a number with no page. The notice popup and the main window's
// "mode changed" notice reach the pass through the same seam.
class PageRegistry {
public:
    static constexpr int kPages = 27;
    // syncUpdate of the page; pages without a reason argument ignore it.
    using SyncFn = std::function<void(int reason)>;
    // TIP::tip_create: 1 saved, 3 USB in, 4 USB out, 5 reading.
    using NoticeFn = std::function<void(int tipKind)>;
    // Returns the main window's mode_tip_pending and clears it.
    using ModeTipFn = std::function<bool()>;

    static PageRegistry& instance();

    void join(int focus, SyncFn sync);
    void leave(int focus);
    // Calls the page's syncUpdate; false when no page has that number.
    bool refresh(int focus, int reason);
    bool has(int focus) const;

    void setNoticeSink(NoticeFn sink);
    void notice(int tipKind);

    void setModeTipSource(ModeTipFn source);
    bool takeModeTip();

    // Forgets every page and hook (tests).
    void clear();

private:
    PageRegistry() = default;
    mutable std::mutex lock_;
    SyncFn pages_[kPages];
    NoticeFn notice_;
    ModeTipFn modeTip_;
};
