#include "ui/pages/screen/rcv_recovery.h"

#include "ledout/LedGlobals.h"
#include "ledout/RcvResultList.h"
#include "ledout/fpga_manage.h"
#include "params/DebugPrint.h"
#include "params/KelRamPara.h"
#include "params/SyncReason.h"
#include "ui/shell/L10n.h"
#include "ui/shell/PageFocus.h"
#include "ui/shell/PageForm.h"
#include "ui/shell/PageOpener.h"
#include "ui/shell/PagePointers.h"
#include "ui/shell/QRoundProgressBar.h"
#include "ui/shell/TextFit.h"

#include <QDebug>
#include <QFrame>
#include <QLabel>
#include <QPushButton>

namespace {
const char* const kFrameStyle = "#frame{\nbackground-color: rgb(16, 16, 28);\nborder:1px solid rgb(255, 255, 255);\n"
                                "border-radius:6px;padding:2px 4px\n}";
const char* const kFileFrameStyle = "#frame_file{background-color: rgb(33, 36, 53);border:1px solid #FFFFFF;}";
const char* const kFormButtonStyle = "color:rgb(255,255,255);\nborder:1px solid rgb(255, 255, 255);";
const char* const kRowRest = "color:rgb(255, 255, 255);border:1px solid rgb(255, 255, 255);";
const char* const kRowFocus = "color:rgb(255, 255, 255);border:1px solid rgb(255,171,84);";
const char* const kEntryRest = "background-color: rgb(33, 36, 53);color: #FFFFFF";
const char* const kEntryChosen = "background-color:#4777FF;color: #FFFFFF;";
const char* const kEntryRestChosen = "background-color: rgb(33, 36, 53);color: #FFFFFF;";
const char* const kPageButtonStyle = "background-color: rgb(33, 36, 53);";

L10n::Texts kTitle = {"接收卡自恢复", "Receiving card self recovery", "Самовосстановление приемной карты",
                      "Thẻ nhận tự phục hồi", "接收卡自恢複"};
L10n::Texts kUpdate = {"接收卡更新", "Receiving card update", "Получить обновление карты",
                       "Nhận thông tin cập nhập về thẻ", "接收卡更新"};
L10n::Texts kQuery = {"查询", "Query", "Считать", "Tìm hiểu", "查詢"};
L10n::Texts kRecovery = {"恢复", "Recovery", "Восстановить", "Phục hồi", "恢複"};
L10n::Texts kEmpty = {"暂无接收卡需要更新!", "No receiving cards that need to be updated!",
                      "Обновление принимающих карт не требуется!", "Chưa có thẻ nhận nào để cập nhật!",
                      "暫無接收卡需要更新!"};
// The four words of a result row: found, screen, port, card.
L10n::Texts kWords[4] = {
    {"发现", "Find", "Find", "Find", "髮現"},
    {"屏幕", "Screen", "Screen", "Screen", "屏幕"},
    {"网口LED", "LED", "LED", "LED", "網口LED"},
    {"接收卡", "Rcv", "Rcv", "Rcv", "接收卡"},
};

bool chinese()
{
    const int l = L10n::language();
    return l == L10n::Chinese || l == L10n::TraditionalChinese;
}
} // namespace

rcv_recovery::rcv_recovery(QWidget* parent) : QDialog(parent), PageBase(this, PageFocus::rcv_recovery, "rcv_recovery")
{
    PageForm::setupPage(this, "rcv_recovery");
    label_title = PageForm::label(this, "label_title", QRect(33, 10, 254, 22), PageForm::kWhiteText, 11);
    label_title->setAlignment(Qt::AlignCenter);
    frame = new QFrame(this);
    frame->setObjectName("frame");
    frame->setGeometry(10, 42, 300, 190);
    frame->setStyleSheet(kFrameStyle);
    frame->setFrameShape(QFrame::StyledPanel);
    frame->setFrameShadow(QFrame::Raised);
    label_para_file = PageForm::label(frame, "label_para_file", QRect(10, 5, 141, 17), QString(), 9);
    label_para_file->hide();
    Button_closetest = PageForm::button(frame, "Button_closetest", QRect(210, 10, 80, 20), kFormButtonStyle);
    PageForm::setPointSize(Button_closetest, 7);
    Button_closetest->hide();
    label_rcv_update = PageForm::label(frame, "label_rcv_update", QRect(10, 30, 240, 17), "color:rgb(255,255,255);", 9);
    label_rcv_update->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    Button_check = PageForm::button(frame, "Button_check", QRect(60, 153, 80, 30), kFormButtonStyle);
    Button_self_covery = PageForm::button(frame, "Button_self_covery", QRect(190, 153, 80, 30), kFormButtonStyle);
    // The procedure's progress arrives from the manager's relay, queued
    // into this thread; the popup is linked to it per posted command.
    if (fpga_manage* m = fpga_manage::p_fpga_manage)
        connect(&m->progress_relay, &CardProgressRelay::recoveryProgress, this, &rcv_recovery::sig_qround_bar_update);
    menulist_init();
    language_changed();
}

rcv_recovery::~rcv_recovery()
{
    clearInstancePointer();
}

void rcv_recovery::clearInstancePointer()
{
    if (g_rcv_recovery == this)
        g_rcv_recovery = nullptr;
}

void rcv_recovery::menulist_init()
{
    ui_select = RowQuery;
    menu_rows[RowQuery] = Button_check;
    menu_rows[RowRecovery] = Button_self_covery;
    Button_check->setStyleSheet(kRowFocus);
    rcv_self_recovery_file_list();
}

void rcv_recovery::language_changed()
{
    // The Russian texts are longer than their labels: the font shrinks.
    TextFit::setText(label_title, L10n::pick(kTitle));
    TextFit::setText(label_rcv_update, L10n::pick(kUpdate));
    const int points = L10n::language() == L10n::Vietnamese ? 7 : 9;
    PageForm::setPointSize(Button_check, points);
    PageForm::setPointSize(Button_self_covery, points);
    TextFit::setText(Button_check, L10n::pick(kQuery));
    TextFit::setText(Button_self_covery, L10n::pick(kRecovery));
    if (chinese())
        Button_closetest->setText(L10n::pick(kQuery));
    rcv_self_recovery_file_list();
}

void rcv_recovery::syncUpdate(int reason)
{
    KelRamPara* store = KelRamPara::p_kelrampara_config;
    if (store && store->KelLanguageChanged())
        language_changed();
    const uint16_t found = g_send_para.send_cards_found;
    if (reason == SYNC_RCV_RECOVERY || (found < 0xFFFF && found != 0xFF))
        rcv_self_recovery_file_list();
}

// ---- focus rows ----

bool rcv_recovery::busy() { return g_qround_bar != nullptr; }

bool rcv_recovery::modeKeyHeld() const { return busy(); }

void rcv_recovery::focusRow(uint8_t row)
{
    menu_rows[ui_select]->setStyleSheet(kRowRest);
    ui_select = row;
    menu_rows[ui_select]->setStyleSheet(kRowFocus);
}

void rcv_recovery::menulist_sel_left()
{
    if (!busy())
        focusRow(ui_select == RowQuery ? RowRecovery : RowQuery);
}

void rcv_recovery::menulist_sel_right()
{
    if (!busy())
        focusRow(ui_select == RowRecovery ? RowQuery : RowRecovery);
}

QString rcv_recovery::releaseLine(PanelKey key) const
{
    if (key == PanelKey::Left || key == PanelKey::Right)
        return PageBase::releaseLine(key) + QString::asprintf(" ui_select=%#x", ui_select);
    return PageBase::releaseLine(key);
}

// ---- actions ----

void rcv_recovery::postWithPopup(uint8_t command)
{
    if (!post_send_command(command))
        return;
    QRoundProgressBar::create_qround_bar(this);
    disconnect(popup_link_);
    popup_link_ = connect(this, &rcv_recovery::sig_qround_bar_update, g_qround_bar, &QRoundProgressBar::para_sync);
}

void rcv_recovery::menulist_button_ok_page()
{
    if (g_send_para.command() != 0 || busy()) {
        menu_rows[ui_select]->setStyleSheet(kRowFocus);
        return;
    }
    if (ui_select == RowQuery) {
        // A new check withdraws the earlier finding, so Recovery can never
        // replay a card the new check did not name.
        g_rcv_results.clear();
        rcv_not_in_file = 0;
        rcv_self_recovery_file_list();
        postWithPopup(SendPara::send_cmd_rcv_check);
    } else if (!rcv_not_in_file) {
        if (g_rcv_results.view().entries.isEmpty()) {
            focusRow(RowQuery);
            return;
        }
        postWithPopup(SendPara::send_cmd_rcv_recover);
    }
    menu_rows[ui_select]->setStyleSheet(kRowFocus);
}

void rcv_recovery::menulist_back_page()
{
    if (busy())
        return;
    returnTo(PageOpener::parentOf(pageFocus()));
}

// ---- result list ----

QStringList rcv_recovery::shownRows() const
{
    QStringList rows;
    for (int r = 0; r < kRowsPerPage; ++r)
        if (row_labels[r])
            rows << row_texts[r];
    return rows;
}

void rcv_recovery::rcv_self_recovery_file_list()
{
    const RcvResultList::View results = g_rcv_results.view();
    rcv_result_list = results.entries;
    rcv_result_num = results.count;
    // The old list may hold the button whose click got here: it goes once
    // the click is over.
    if (frame_file) {
        frame_file->hide();
        frame_file->setObjectName(QString());
        frame_file->deleteLater();
    }
    for (int r = 0; r < kRowsPerPage; ++r) {
        row_labels[r] = nullptr;
        row_texts[r].clear();
    }
    frame_file = new QFrame(frame);
    frame_file->setObjectName("frame_file");
    frame_file->setGeometry(10, 50, 280, 90);
    frame_file->setStyleSheet(kFileFrameStyle);
    if (rcv_result_num == 0) {
        QLabel* empty = PageForm::label(frame_file, "label_empty", QRect(5, 5, 220, 20), kEntryRest, 7);
        empty->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        TextFit::setText(empty, L10n::pick(kEmpty));
    } else {
        const int first = current_page * kRowsPerPage;
        const int end = qMin(first + kRowsPerPage, qMin(int(rcv_result_num), rcv_result_list.size()));
        for (int i = first; i < end; ++i)
            drawEntry(rcv_result_list.at(i), i, i - first);
    }
    if (current_page >= 1) {
        QPushButton* b = pageButton(QRect(250, 5, 20, 20), ":/png/previous.png");
        connect(b, &QPushButton::clicked, this, &rcv_recovery::kel_Button_previous_clicked);
    }
    if (current_page < max_page) {
        QPushButton* b = pageButton(QRect(250, 80, 20, 20), ":/png/next.png");
        connect(b, &QPushButton::clicked, this, &rcv_recovery::kel_Button_next_clicked);
    }
    frame_file->show();
}

void rcv_recovery::drawEntry(const QString& entry, int index, int row)
{
    const QStringList f = entry.split(QLatin1Char('/'), Qt::KeepEmptyParts);
    if (f.size() < 4)
        return;
    rcv_not_in_file = f.at(2).toInt() > f.at(3).toInt() ? 1 : 0;
    const QString card = QString(rcv_not_in_file ? "<font color = #FF0000 >%1</font>" : "<font color = #FFFFFF >%1</font>")
                             .arg(f.at(2));
    const QString text = L10n::pick(kWords[0]) + " " + L10n::pick(kWords[1]) + f.at(0) + ", " + L10n::pick(kWords[2]) +
                         f.at(1) + ", " + L10n::pick(kWords[3]) + card;
    const QRect place(5, 5 + 25 * row, 220, 20);
    QLabel* label = PageForm::label(frame_file, nullptr, place, index == file_select ? kEntryChosen : kEntryRest, 7);
    label->setTextFormat(Qt::RichText);   // the card number is coloured
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    label->setText(text);
    row_labels[row] = label;
    row_texts[row] = text;
    QPushButton* hit = PageForm::button(frame_file, "", place, QString());
    hit->setObjectName(QString::number(row));
    hit->setFlat(true);
    connect(hit, &QPushButton::clicked, this, &rcv_recovery::kel_button_file_clicked);
}

QPushButton* rcv_recovery::pageButton(const QRect& geometry, const char* icon)
{
    QPushButton* b = PageForm::button(frame_file, "", geometry, kPageButtonStyle);
    PageForm::setIcon(b, QString::fromLatin1(icon), 20, 20);
    return b;
}

void rcv_recovery::kel_button_file_clicked()
{
    const int row = sender() ? sender()->objectName().toInt() : 0;
    if (file_select >= 0 && file_select < kRowsPerPage && row_labels[file_select])
        row_labels[file_select]->setStyleSheet(kEntryRestChosen);
    file_select = row;
    if (row >= 0 && row < kRowsPerPage && row_labels[row]) {
        row_labels[row]->setStyleSheet(kEntryChosen);
        qDebug() << row_texts[row];
    }
    kelDebug("\n kel_button_file_clicked ...file_select = %d\n", file_select);
}

void rcv_recovery::kel_Button_previous_clicked()
{
    if (current_page > 0)
        --current_page;
    kelDebug("\n kel_Button_previous_clicked  current_page = %d\n", current_page);
    rcv_self_recovery_file_list();
}

void rcv_recovery::kel_Button_next_clicked()
{
    ++current_page;
    if (current_page > max_page)
        current_page = 0;
    kelDebug("\n kel_Button_next_clicked  current_page = %d\n", current_page);
    rcv_self_recovery_file_list();
}
