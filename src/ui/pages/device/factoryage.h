#pragma once
#include "ui/shell/FocusRing.h"
#include "ui/shell/PageBase.h"

#include <QDialog>
#include <QFont>
#include <QString>
#include <QStringList>

class QLabel;
class QPushButton;

// The ageing log page (page 23): the samples the 10 ms tick keeps in
// factoryage_log, 16 a page with the five fault flags of register 40 in
// green (set) or red (clear), the page number and the interval counters.
// OK on "Nex"/"Priv" pages forward (wrapping) and back (stopping at 1).
class factoryage : public QDialog, public PageBase {
    Q_OBJECT
public:
    static constexpr int kPerPage = 16;

    explicit factoryage(QWidget* parent = nullptr);
    ~factoryage() override;

    void menulist_init();
    void ageloginit();
    void update_agelog();
    void on_ButtonNext_clicked();
    void on_ButtonPriv_clicked();

    int page() const { return agelog_page; }
    // The rich-text line of one entry ("" for a malformed one); first
    // leaves out the leading "<br>".
    static QString entryLine(const QString& entry, bool first);
    // Pages of n entries (n / 16 rounded up).
    static int pagesOf(int n) { return (n + kPerPage - 1) / kPerPage; }

protected:
    void keyPressEvent(QKeyEvent* event) override { handleKeyPress(event); }
    void keyReleaseEvent(QKeyEvent* event) override { handleKeyRelease(event); }
    void onLeft() override { ring_.step(-1); }
    void onRight() override { ring_.step(1); }
    void onOk() override;
    void onBack() override;
    void clearInstancePointer() override;

private:
    void buildForm();
    void showCounters();
    QLabel* counter(const char* name, int y);

    QWidget* frame = nullptr;
    QWidget* agelog_widget = nullptr;
    QLabel* agelog_label = nullptr;
    QFont agelog_font;
    int agelog_page = 0;
    QString agelog_text;
    QLabel* page_info = nullptr;
    QLabel* label_page = nullptr;
    QLabel* label_3 = nullptr;
    QLabel* label_5 = nullptr;
    QLabel* label_10 = nullptr;
    QLabel* label_20 = nullptr;
    QLabel* label_more = nullptr;
    FocusRing ring_;
};
