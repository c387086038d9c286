#include "ui/pages/device/factoryage.h"

#include "params/KelRamPara.h"
#include "params/Utils.h"
#include "params/global.h"
#include "ui/shell/PageFocus.h"
#include "ui/shell/PageForm.h"
#include "ui/shell/PagePointers.h"
#include "ui/shell/PageTable.h"
#include "ui/shell/ShellGlobals.h"
#include "platform/Board.h"
#include "platform/Clock.h"

#include <QDateTime>
#include <QLabel>
#include <QMutexLocker>
#include <QPushButton>

namespace {
const char* const kStyleNormal = "color:rgb(255,255,255);\nborder:1px solid rgb(255, 255, 255);";
const char* const kStyleFocus = "color:rgb(255,255,255);\nborder:1px solid rgb(255,171,84);";
const char* const kLabelStyle = "color:rgb(255,255,255);\nbackground-color: rgb(16, 16, 28);";

// Register 40's flags in display order (bit n is flag n).
const char* const kFlags[5] = {"DDR0", "DDR1", "DE", "HS", "VS"};
constexpr int kEntryFields = 5;

QString localMinute()
{
    QMutexLocker lock(&Utils::_system_mutex);
    return kel::platform::Board::clock().now().toString(QStringLiteral("MM-dd hh:mm"));
}
} // namespace

factoryage::factoryage(QWidget* parent) : QDialog(parent), PageBase(this, PageFocus::factoryage, "factoryage")
{
    agelog_font.setPixelSize(10);
    buildForm();
    menulist_init();
    ageloginit();
}

factoryage::~factoryage()
{
    clearInstancePointer();
}

void factoryage::clearInstancePointer()
{
    if (g_factoryage == this)
        g_factoryage = nullptr;
}

QLabel* factoryage::counter(const char* name, int y)
{
    QLabel* l = PageForm::label(this, name, QRect(250, y, 70, 17), QString::fromLatin1(kLabelStyle), 8);
    l->setAlignment(Qt::AlignCenter);
    return l;
}

void factoryage::buildForm()
{
    PageForm::setupPage(this, "factoryage");
    frame = new QWidget(this);
    frame->setObjectName(QStringLiteral("frame"));
    frame->setGeometry(3, 2, 242, 236);
    frame->setFont(PageForm::pointFont(9));
    frame->setStyleSheet(QStringLiteral("#frame{\nbackground-color: rgb(16, 16, 28);\n}"));
    page_info = PageForm::label(this, "page_info", QRect(260, 20, 50, 20), QString::fromLatin1(kLabelStyle), 8);
    page_info->setAlignment(Qt::AlignCenter);
    label_page = PageForm::label(this, "label_page", QRect(260, 45, 50, 17), QString::fromLatin1(kLabelStyle), 8);
    label_page->setAlignment(Qt::AlignCenter);
    QPushButton* next = PageForm::button(this, "ButtonNext", QRect(260, 70, 50, 20), QString::fromLatin1(kStyleNormal));
    next->setText(QStringLiteral("Nex"));
    next->setFont(PageForm::pointFont(9));
    QPushButton* priv = PageForm::button(this, "ButtonPriv", QRect(260, 100, 50, 20), QString::fromLatin1(kStyleNormal));
    priv->setText(QStringLiteral("Priv"));
    priv->setFont(PageForm::pointFont(9));
    connect(next, &QPushButton::clicked, this, &factoryage::on_ButtonNext_clicked);
    connect(priv, &QPushButton::clicked, this, &factoryage::on_ButtonPriv_clicked);
    label_3 = counter("label_3", 130);
    label_5 = counter("label_5", 150);
    label_10 = counter("label_10", 170);
    label_20 = counter("label_20", 190);
    label_more = counter("label_more", 210);
}

void factoryage::menulist_init()
{
    const FocusRing::Styles styles{QString::fromLatin1(kStyleNormal), QString::fromLatin1(kStyleFocus), QString(),
                                   QString(), QString()};
    ring_.clear();
    ring_.add(findChild<QPushButton*>(QStringLiteral("ButtonNext")), styles);
    ring_.add(findChild<QPushButton*>(QStringLiteral("ButtonPriv")), styles);
    ring_.setCurrent(0);
}

void factoryage::ageloginit()
{
    const QString inProgress = localMinute() + QStringLiteral("  ") + QString::fromUtf8("正在老化中...");
    delete agelog_widget;
    agelog_widget = new QWidget(frame);
    agelog_widget->setGeometry(0, 0, 280, 236);
    agelog_label = new QLabel(agelog_widget);
    agelog_label->setObjectName(QStringLiteral("agelog_label"));
    agelog_label->setGeometry(0, 0, 260, 236);
    agelog_label->setFont(agelog_font);
    agelog_label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    agelog_label->setStyleSheet(QStringLiteral("background-color: #10101C;color: #FFFFFF;"));
    agelog_label->setFrameShape(QFrame::NoFrame);
    agelog_label->setTextFormat(Qt::RichText);
    if (factoryage_log.isEmpty()) {
        agelog_label->setText(inProgress);
        agelog_text.clear();
        showCounters();
        page_info->setText(QStringLiteral("0"));
        label_page->setText(QStringLiteral("0/0"));
    } else {
        update_agelog();
    }
    agelog_widget->show();
}

QString factoryage::entryLine(const QString& entry, bool first)
{
    const QStringList f = entry.split(QLatin1Char(' '), Qt::KeepEmptyParts);
    if (f.size() != kEntryFields)
        return QString();
    const int flags = f[3].toInt();
    QString line = first ? QString() : QStringLiteral("<br>");
    line += f[0] + QLatin1Char(' ') + f[1] + QLatin1Char(' ');
    line += QString::asprintf("%03d ", f[2].toInt());
    for (int bit = 0; bit < 5; ++bit) {
        const bool set = (flags >> bit) & 1;
        line += QStringLiteral("<font color = %1 >%2</font>")
                    .arg(set ? QStringLiteral("#00FF00") : QStringLiteral("#FF0000"), QString::fromLatin1(kFlags[bit]));
        if (set || bit != 4)
            line += QLatin1Char(' ');
    }
    line += QString::asprintf("%03d", f[4].toInt());
    return line;
}

void factoryage::showCounters()
{
    label_3->setText(QString::number(factoryage_log_diff3) + QStringLiteral("<3"));
    label_5->setText(QString::number(factoryage_log_diff5) + QStringLiteral("<5"));
    label_10->setText(QString::number(factoryage_log_diff10) + QStringLiteral("<10"));
    label_20->setText(QString::number(factoryage_log_diff20) + QStringLiteral("<20"));
    label_more->setText(QString::number(factoryage_log_diffmore) + QStringLiteral(">20"));
}

void factoryage::update_agelog()
{
    const int n = factoryage_log.size();
    if (n == 0) {
        ageloginit();
    } else {
        agelog_text.clear();
        const int begin = kPerPage * agelog_page;
        const int end = qMin(begin + kPerPage, n);
        for (int i = begin; i < end; ++i)
            agelog_text += entryLine(factoryage_log.at(i), i == begin);
        agelog_label->setText(agelog_text);
    }
    showCounters();
    page_info->setText(QString::number(n));
    label_page->setText(QStringLiteral("%1/%2").arg(agelog_page + 1).arg(pagesOf(n)));
}

void factoryage::on_ButtonNext_clicked()
{
    const int pages = pagesOf(factoryage_log.size());
    if (agelog_page >= pages)
        return;
    agelog_page = agelog_page + 1 >= pages ? 0 : agelog_page + 1;
    update_agelog();
}

void factoryage::on_ButtonPriv_clicked()
{
    if (pagesOf(factoryage_log.size()) == 0 || agelog_page == 0)
        return;
    --agelog_page;
    update_agelog();
}

void factoryage::onOk()
{
    if (ring_.current() == 0)
        on_ButtonNext_clicked();
    else
        on_ButtonPriv_clicked();
}

void factoryage::onBack()
{
    // The advanced menu is re-texted only for a changed language: its full
    // refresh would also re-read the recovery files for nothing.
    closePage();
    KelRamPara* store = KelRamPara::p_kelrampara_config;
    PageBase* parent = PageTable::at(PageFocus::AdvancedOption);
    if (store && store->KelLanguageChanged() && parent)
        parent->language_changed();
    g_page_focus = PageFocus::AdvancedOption;
    if (parent)
        placeOverMain(parent->pageWidget());
}
