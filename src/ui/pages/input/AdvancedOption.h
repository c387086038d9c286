#pragma once
#include "ui/shell/MenuPage.h"

#include <functional>
#include <optional>

// The advanced menu (page 12): LCD display, other settings, receiving-card
// self-recovery (only while stored recovery files exist), factory, and the
// ageing log behind an access code. Back returns to the settings menu.
class AdvancedOption : public MenuPage {
    Q_OBJECT
public:
    enum Entry : int { LcdShow = 0, Other = 1, Recovery = 2, Factory = 3, Age = 4 };
    // The number of stored recovery files; empty when they cannot be
    // listed (the count then keeps its previous value).
    using FileCounter = std::function<std::optional<int>()>;

    explicit AdvancedOption(QWidget* parent = nullptr);
    ~AdvancedOption() override;

    // Replaces the recovery file count (empty: the files under
    // /data/rcvrecovery).
    static void setFileCounter(FileCounter counter);
    static std::optional<int> countRecoveryFiles();
    int rcvFileCount() const { return rcv_file_count_; }

protected:
    void refreshOwn() override;
    void openEntry(int index) override;
    void clearInstancePointer() override;

private:
    // An int, not a byte: 256 files must not read as none.
    int rcv_file_count_ = 0;
};
