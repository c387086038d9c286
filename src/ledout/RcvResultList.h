#pragma once
// The result of the last card check: the cards found needing recovery, as
// entries "screen/port/card/stored" (two digits each). The FPGA manager
// thread writes it, the recovery page reads it when it redraws; both go
// through its lock, and nobody announces a change while holding it.
#include <QString>
#include <QStringList>

#include <cstdint>
#include <mutex>

class RcvResultList {
public:
    struct View {
        QStringList entries;
        uint8_t count = 0;
    };

    View view() const;
    // No result: the list is emptied and the count is 0.
    void clear();
    // One card found: the list holds just its entry.
    void setFound(const QString& entry);
    // Withdraws a shown result; false when none was shown.
    bool withdraw();

    // "01/03/05/12": screen, port and card numbers (from 1) and the cards
    // stored for the port.
    static QString entryText(int screen, int port, int card, int stored);

private:
    mutable std::mutex mutex_;
    QStringList rcv_result_list;
    uint8_t rcv_result_num = 0;
};

// The one result list, shared by the check procedure and the recovery page.
extern RcvResultList g_rcv_results;
