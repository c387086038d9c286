// The wizard's parameter steps: cabinet size, port grid, rows/columns/route
// and offsets, the route chooser, and the Load scan port step.
#include "ui/pages/screen/SmartMapping.h"

#include "ui/shell/L10n.h"
#include "ui/shell/My_lineEdit.h"
#include "ui/shell/NumberKeyboard.h"
#include "ui/shell/PageForm.h"
#include "ui/shell/PagePointers.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QToolButton>

namespace {
constexpr int kCells = 8;       // ports per view
constexpr int kStep2Entries = 4; // Button_wlan1, Button_wlan2, Button_front_2, Button_next_2
constexpr int kScanEntries = 3;  // Button_wlan5, Button_wlan6, Button_next_5
constexpr int kScanTabs = 4;     // Button_wlan5 is wlan_[4]

int wrap(int value, int count)
{
    return (value % count + count) % count;
}

void setLook(QWidget* w, const char* style)
{
    w->setStyleSheet(QString::fromLatin1(style));
}
} // namespace

// ---- step dispatch ----

void SmartMapping::shortcutKey(int step, bool ok, bool back)
{
    switch (shortcut_step) {
    case 0: step1Key(step, ok, back); break;
    case 1: step2Key(step, ok, back); break;
    default:
        if (route_picking)
            routeKey(step, ok, back);
        else
            step3Key(step, ok, back);
        break;
    }
}

// ---- step 1: cabinet size ----

void SmartMapping::step1Key(int step, bool ok, bool back)
{
    if (back) {
        step1Ring_.setCurrent(step1Ring_.current(), false);
        leaveBranch(nullptr);
        return;
    }
    if (!ok) {
        step1Ring_.step(step);
        return;
    }
    if (step1Ring_.current() == 2) {
        on_Button_next_clicked();
        return;
    }
    auto* field = static_cast<My_lineEdit*>(step1Ring_.widget(step1Ring_.current()));
    emit field->send_show(field->text());
}

void SmartMapping::on_Button_next_clicked()
{
    storeCabinet(lineEdit_X->text(), lineEdit_Y->text());
    selectView(0, 0);
    showPage(StepPort);
    port_sel = 0;
    port_grid_active = false;
    setLook(wlan_[0], Looks::kFocus);
    setLook(front2_, Looks::kNormal);
    setLook(next2_, Looks::kNormal);
    shortcut_step = 1;
}

// ---- step 2: port ----

void SmartMapping::step2Key(int step, bool ok, bool back)
{
    QWidget* const entries[kStep2Entries] = {wlan_[0], wlan_[1], front2_, next2_};
    if (port_grid_active) {
        if (ok) {
            port_grid_active = false;
            kel_button_wlan_clicked(port_cursor);
            setLook(wlan_[port_sel], Looks::kFocus);
        } else if (back) {
            port_grid_active = false;
            setPort(saved_port);
            selectView(port_sel, 0);
            setLook(wlan_[port_sel], Looks::kFocus);
            setTexts();
        } else {
            moveGridCursor(step, port_sel, 0);
        }
        return;
    }
    if (back) {
        showPage(StepSize);
        shortcut_step = 0;
    } else if (ok && port_sel < 2) {
        port_grid_active = true;
        saved_port = portOf();
        setPort(uint8_t(port_sel * kCells));
        selectView(port_sel, 0);
        setLook(wlan_[port_sel], Looks::kBranch);
    } else if (ok && port_sel == 2) {
        showPage(StepSize);
        shortcut_step = 0;
    } else if (ok) {
        on_Button_next_2_clicked();
        startStep3();
    } else {
        setLook(entries[port_sel], Looks::kNormal);
        port_sel = wrap(port_sel + step, kStep2Entries);
        if (port_sel < 2)
            selectView(port_sel, 0);
        setLook(entries[port_sel], Looks::kFieldFocus);
    }
}

void SmartMapping::on_Button_next_2_clicked()
{
    showPage(StepGrid);
}

// ---- step 3: rows, columns, route, offsets ----

void SmartMapping::startStep3()
{
    step3Ring_.setCurrent(0);
    shortcut_step = 2;
}

void SmartMapping::step3Key(int step, bool ok, bool back)
{
    const int current = step3Ring_.current();
    if (back) {
        // While a command runs the step stays, so the keys keep matching the page shown.
        if (busy())
            return;
        step3Ring_.setCurrent(current, false);
        showPage(StepPort);
        shortcut_step = 1;
        return;
    }
    if (!ok) {
        step3Ring_.step(step);
        return;
    }
    switch (current) {
    case 2: on_Button_route_clicked(); break;
    case 5: on_Button_front_3_clicked(); break;
    case 6: on_Button_send_clicked(); break;
    default: {
        auto* field = static_cast<My_lineEdit*>(step3Ring_.widget(current));
        emit field->send_show(field->text());
        break;
    }
    }
}

void SmartMapping::on_Button_front_3_clicked()
{
    if (busy())
        return;
    step3Ring_.setCurrent(step3Ring_.current(), false);
    showPage(StepPort);
    shortcut_step = 1;
}

// ---- route chooser ----

void SmartMapping::on_Button_route_clicked()
{
    showPage(RouteChooser);
    route_picking = true;
    const int route = routeWay();
    routeRing_.setCurrent(route >= 1 && route <= 16 ? route - 1 : 0);
}

void SmartMapping::routeKey(int step, bool ok, bool back)
{
    if (!ok && !back) {
        routeRing_.step(step);
        return;
    }
    if (ok && routeRing_.current() < 16)
        line_select(routeRing_.current() + 1);
    showPage(StepGrid);
    route_picking = false;
    step3Ring_.setCurrent(2);
}

void SmartMapping::line_select(int route)
{
    if (route >= 1 && route <= 16)
        PageForm::setIcon(route_, QStringLiteral(":/png/line%1.png").arg(route), 30, 20);
    route_->setText(routeText(route));
    setRouteWay(uint8_t(route));
}

// ---- port grid ----

void SmartMapping::selectView(int view, int tabBase)
{
    port_view = view;
    port_cursor = 0;
    if (selectedTab_)
        setLook(selectedTab_, Looks::kNormal);
    selectedTab_ = wlan_[tabBase + view];
    setLook(selectedTab_, Looks::kViewTab);
    wlan_init(tabBase == 0 ? 0 : 1);
}

void SmartMapping::wlan_init(int gridPage)
{
    delete grids_[gridPage];
    auto* grid = new QFrame(pages_[gridPage == 0 ? StepPort : ScanPort]);
    grid->setObjectName(QStringLiteral("frame_wlan"));
    grid->setGeometry(1, 59, 230, 88);
    grids_[gridPage] = grid;
    const int port = portOf();
    for (int i = 0; i < kCells; ++i) {
        const int x0 = 55 * (i % 4), y0 = 45 * (i / 4);
        auto* cell = new QFrame(grid);
        cell->setObjectName(QStringLiteral("frame_cell%1").arg(i));
        cell->setGeometry(x0 + 10, y0 + 2, 50, 40);
        setLook(cell, i + kCells * port_view == port ? Looks::kCellGreen : Looks::kCellWhite);
        cells_[gridPage][i] = cell;
        QLabel* picture = PageForm::picture(grid, QRect(x0 + 25, y0 + 5, 22, 15), QStringLiteral(":/png/offline.png"));
        picture->setScaledContents(true);
        QLabel* name = PageForm::label(grid, nullptr, QRect(x0 + 14, y0 + 20, 45, 20),
                                       QStringLiteral("background-color: #212435;color: #FFFFFF"), 0, 8);
        name->setObjectName(QStringLiteral("label_cell%1").arg(i));
        name->setAlignment(Qt::AlignCenter);
        name->setText(QStringLiteral("LED%1").arg(i + 1 + kCells * port_view));
        QPushButton* button = PageForm::button(grid, QByteArray::number(i).constData(),
                                               QRect(x0 + 11, y0 + 3, 48, 38), QString::fromLatin1(Looks::kTransparent));
        button->setFlat(true);
        connect(button, &QPushButton::clicked, this, [this, i]() { kel_button_wlan_clicked(i); });
    }
    grid->show();
}

void SmartMapping::moveGridCursor(int step, int viewSel, int gridPage)
{
    port_cursor = wrap(port_cursor + step, kCells);
    port_view = viewSel;
    setPort(uint8_t(port_cursor + kCells * viewSel));
    wlan_init(gridPage);
}

void SmartMapping::kel_button_wlan_clicked(int cell)
{
    const int gridPage = stack_->currentIndex() == ScanPort ? 1 : 0;
    if (cell < 0 || cell >= kCells || !cells_[gridPage][0])
        return;
    setLook(cells_[gridPage][port_cursor], Looks::kCellWhite);
    port_cursor = cell;
    saved_port = uint8_t(kCells * port_view + port_cursor);
    setPort(saved_port);
    setLook(cells_[gridPage][port_cursor], Looks::kCellGreen);
}

// ---- Load scan step 1: port ----

void SmartMapping::prepareLoadscan(bool entering)
{
    selectView(portOf() < kCells ? 0 : 1, kScanTabs);
    loadscan_port_sel = port_view;
    loadscan_grid_active = false;
    loadscan_port_confirmed = false;
    setLook(next5_, Looks::kNormal);
    setLook(wlan_[kScanTabs + loadscan_port_sel], entering ? Looks::kFocus : Looks::kNormal);
    if (entering)
        setLook(menu_[LoadScan], Looks::kBranch);
    loadscan_step = 0;
}

void SmartMapping::scanPortKey(int step, bool ok, bool back)
{
    QWidget* const entries[kScanEntries] = {wlan_[kScanTabs], wlan_[kScanTabs + 1], next5_};
    const int sel = loadscan_port_sel;
    if (loadscan_grid_active) {
        if (ok) {
            loadscan_grid_active = false;
            kel_button_wlan_clicked(port_cursor);
            setLook(entries[sel], Looks::kFocus);
            loadscan_port_confirmed = true;
        } else if (back) {
            loadscan_grid_active = false;
            if (loadscan_port_confirmed)
                setPort(saved_port);
            selectView(sel, kScanTabs);
            setLook(entries[sel], Looks::kFocus);
        } else {
            moveGridCursor(step, sel, 1);
        }
        return;
    }
    if (back) {
        setLook(entries[sel], Looks::kNormal);
        setLook(menu_[LoadScan], Looks::kFocus);
        branch_active = false;
    } else if (ok && sel < 2) {
        loadscan_grid_active = true;
        saved_port = portOf();
        selectView(sel, kScanTabs);
    } else if (ok) {
        on_Button_next_5_clicked();
        menulist_loadscan_page2_init();
    } else {
        setLook(entries[sel], Looks::kNormal);
        loadscan_port_sel = wrap(sel + step, kScanEntries);
        if (loadscan_port_sel < 2)
            selectView(loadscan_port_sel, kScanTabs);
        setLook(entries[loadscan_port_sel], Looks::kFocus);
    }
}

// ---- number entry ----

void SmartMapping::show_numberkeyboard_ui(QString text)
{
    auto* field = qobject_cast<My_lineEdit*>(sender());
    if (!field)
        return;
    g_lineedit = field;
    const std::optional<QString> entered = NumberKeyboard::ask(keyboardTitle(field->objectName()), text);
    // The wizard may have been closed while the keyboard ran.
    if (entered && g_smartmapping == this)
        confirmString(*entered);
}

void SmartMapping::confirmString(QString text)
{
    for (My_lineEdit* f : {lineEdit_X, lineEdit_Y, lineEdit_line, lineEdit_column, lineEdit_horzion, lineEdit_vert}) {
        if (g_lineedit == f)
            f->setText(text);
    }
}
