// The wizard's scan-file step: three files to a page, stored files white and
// the stick's green, the chosen one in g_qjfile_name.
#include "ui/pages/screen/SmartMapping.h"

#include "ledout/LedGlobals.h"
#include "ui/shell/PageForm.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>

namespace {
const char* const kFrameStyle = "#frame_file{background-color: rgb(33, 36, 53);border:1px solid #FFFFFF;}";
constexpr int kFilePoints = 7;
const char* const kNavStyle = "background-color: rgb(33, 36, 53);";
// [look][stored 0 / stick 1]
const char* const kFileLooks[3][2] = {
    {"background-color: rgb(33, 36, 53);color: #FFFFFF", "background-color: rgb(33, 36, 53);color: #00FF00"},
    {"background-color:#4777FF;color: #FFFFFF;border:1px solid rgb(255,171,84);",
     "background-color:#4777FF;color: #00FF00;border:1px solid rgb(255,171,84);"},
    {"background-color:#4777FF;color: #FFFFFF;border:1px solid rgb(255,255,255);",
     "background-color:#4777FF;color: #00FF00;border:1px solid rgb(255,255,255);"},
};
} // namespace

void SmartMapping::on_Button_next_5_clicked()
{
    files_.rebuild();
    current_page = 0;
    scan_file_list();
    setTexts();
}

void SmartMapping::menulist_loadscan_page2_init()
{
    fileButton()->setStyleSheet(QString::fromLatin1(Looks::kNormal));
    file_button_sel = files_.count() > 0 ? 1 : 0;
    if (files_.count() == 0)
        front6_->setStyleSheet(QString::fromLatin1(Looks::kFocus));
    file_cursor = 0;
    file_on_buttons = false;
    loadscan_step = 1;
}

QPushButton* SmartMapping::fileButton() const
{
    return file_button_sel ? load_ : front6_;
}

void SmartMapping::scan_file_list()
{
    // A running load reads the chosen path from the FPGA manager's thread:
    // a redraw then (a USB event) changes what is shown, not the choice.
    const bool keepChoice = busy() || g_send_para.command() != SendPara::send_cmd_idle;
    delete fileFrame_;
    std::fill(std::begin(fileLabels_), std::end(fileLabels_), nullptr);
    fileFrame_ = new QFrame(pages_[ScanFiles]);
    fileFrame_->setObjectName(QStringLiteral("frame_file"));
    fileFrame_->setGeometry(10, 55, 220, 90);
    fileFrame_->setStyleSheet(QString::fromLatin1(kFrameStyle));
    if (files_.count() == 0) {
        QLabel* none = PageForm::label(fileFrame_, "label_nofile", QRect(5, 5, 200, 40),
                                       QString::fromLatin1(kFileLooks[Plain][0]), kFilePoints);
        none->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        none->setText(noFileText());
        if (!keepChoice)
            g_qjfile_name.clear();
    }
    const int first = ScanFileList::kPerPage * current_page;
    for (int place = 0; place < files_.filesOnPage(current_page); ++place) {
        const QString& path = files_.paths().at(first + place);
        const QString name = ScanFileList::shownName(path);
        if (name.isEmpty())
            continue;
        QLabel* label = PageForm::label(fileFrame_, nullptr, QRect(5, 5 + 25 * place, 190, 20), QString(), kFilePoints);
        label->setObjectName(QStringLiteral("label_file%1").arg(place));
        label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        label->setText(name);   // plain text: names come from the stick
        fileLabels_[place] = label;
        QPushButton* button = PageForm::button(fileFrame_, QByteArray::number(place).constData(), label->geometry(),
                                               QString::fromLatin1(Looks::kTransparent));
        button->setFlat(true);
        connect(button, &QPushButton::clicked, this, [this, place]() { kel_button_file_clicked(place); });
        // The chosen place is compared with the place on this page, so a
        // later page also shows (and keeps) its chosen file.
        if (place == file_select) {
            setFileLook(place, Cursor);
            if (!keepChoice)
                g_qjfile_name = path;
        } else {
            setFileLook(place, Plain);
        }
    }
    auto navButton = [this](const char* name, int y, const char* icon) {
        QPushButton* b = PageForm::button(fileFrame_, name, QRect(200, y, 15, 20), QString::fromLatin1(kNavStyle));
        PageForm::setIcon(b, QString::fromLatin1(icon), 15, 20);
        return b;
    };
    if (current_page >= 1)
        connect(navButton("Button_previous", 5, ":/png/previous.png"), &QPushButton::clicked, this,
                &SmartMapping::kel_Button_previous_clicked);
    if (current_page < files_.lastPage())
        connect(navButton("Button_next_page", 55, ":/png/next.png"), &QPushButton::clicked, this,
                &SmartMapping::kel_Button_next_clicked);
    fileFrame_->show();
    stack_->setCurrentIndex(ScanFiles);
}

void SmartMapping::setFileLook(int place, int look)
{
    if (place < 0 || place >= ScanFileList::kPerPage || !fileLabels_[place])
        return;
    const bool stick = !files_.isStored(place + ScanFileList::kPerPage * current_page);
    fileLabels_[place]->setStyleSheet(QString::fromLatin1(kFileLooks[look][stick ? 1 : 0]));
}

void SmartMapping::kel_button_file_clicked(int place)
{
    if (busy() || place < 0 || place >= files_.filesOnPage(current_page))
        return;
    setFileLook(file_select, Plain);
    file_select = place;
    g_qjfile_name = files_.paths().at(place + ScanFileList::kPerPage * current_page);
    setFileLook(place, Clicked);
}

void SmartMapping::kel_Button_previous_clicked()
{
    if (busy())
        return;
    if (current_page > 0)
        --current_page;
    scan_file_list();
}

void SmartMapping::kel_Button_next_clicked()
{
    if (busy())
        return;
    if (++current_page > files_.lastPage())
        current_page = 0;
    scan_file_list();
}

void SmartMapping::on_Button_front_6_clicked()
{
    if (busy())
        return;
    leaveFileStep();
}

void SmartMapping::leaveFileStep()
{
    showPage(ScanPort);
    loadscan_step = 0;
}

void SmartMapping::scanFileKey(int step, bool ok, bool back)
{
    const int n = files_.filesOnPage(current_page);
    const bool inList = !file_on_buttons && n > 0;
    if (back) {
        if (inList || n == 0) {
            fileButton()->setStyleSheet(QString::fromLatin1(Looks::kNormal));
            leaveFileStep();
            return;
        }
        setFileLook(file_select, Cursor);
        fileButton()->setStyleSheet(QString::fromLatin1(Looks::kNormal));
        file_on_buttons = false;
        setTexts();
        return;
    }
    if (ok && inList) {
        if (file_cursor < n)
            kel_button_file_clicked(file_cursor);
        file_on_buttons = true;
        fileButton()->setStyleSheet(QString::fromLatin1(Looks::kFocus));
    } else if (ok && file_button_sel == 0) {
        on_Button_front_6_clicked();
    } else if (ok) {
        on_Button_load_clicked();
        load_->setStyleSheet(QString::fromLatin1(Looks::kNormal));
        if (file_cursor < n)
            setFileLook(file_cursor, Cursor);
        file_on_buttons = false;
    } else if (inList) {
        setFileLook(file_cursor, Plain);
        if (step > 0 && ++file_cursor >= n) {
            file_cursor = 0;
            file_select = 0;
            kel_Button_next_clicked();
        } else if (step < 0 && file_cursor == 0 && current_page > 0 && !busy()) {
            // The previous page is always full: its last file takes the cursor.
            file_select = ScanFileList::kPerPage - 1;
            kel_Button_previous_clicked();
            file_cursor = ScanFileList::kPerPage - 1;
        } else if (step < 0 && file_cursor > 0) {
            --file_cursor;
        }
        file_select = file_cursor;
        setFileLook(file_cursor, Cursor);
    } else {
        fileButton()->setStyleSheet(QString::fromLatin1(Looks::kNormal));
        file_button_sel = 1 - file_button_sel;
        fileButton()->setStyleSheet(QString::fromLatin1(Looks::kFocus));
    }
}
