#include "ui/shell/NumberKeyboard.h"

#include "ui/shell/L10n.h"
#include "ui/shell/TextFit.h"
#include "ui/shell/My_lineEdit.h"
#include "ui/shell/PageBase.h"
#include "ui/shell/PageForm.h"
#include "ui/shell/PagePointers.h"
#include "ui/shell/PanelKeys.h"
#include "ui/shell/PopupStack.h"

#include <QDebug>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegExpValidator>

My_lineEdit* g_lineedit = nullptr;
QString NumberKeyboard::l_str;

namespace {
const char* const kKeyRest = "background-color: rgb(255, 255, 255);border:1px ;";
const char* const kKeyFocus = "background-color: rgb(255, 255, 255);border:1px solid rgb(255,171,84);";
const char* const kOkRest = "background-color: rgb(71, 119, 255);border:1px ;";
const char* const kOkFocus = "background-color: rgb(71, 119, 255);border:1px solid rgb(255,171,84);";

const char* const kCancelTexts[5] = {"取消", "Cancle", "Отмена", "Hủy bỏ", "取消"};
const char* const kOkTexts[5] = {"确定", "OK", "OK", "Đồng ý", "確定"};
const char* const kWidthTitles[5] = {"宽", "W", "W", "W", "寬"};
const char* const kHeightTitles[5] = {"高", "H", "H", "H", "高"};

const char* const kKeyNames[NumberKeyboard::KeyCount] = {
    "Button1", "Button2", "Button3", "Button4", "Button5", "Button6", "Button7",
    "Button8", "Button9", "Button0", "ButtonC", "ButtonX", "Button_close", "Button_ok",
};

QRect keyGeometry(int index)
{
    if (index == NumberKeyboard::Cancel)
        return QRect(10, 205, 65, 30);
    if (index == NumberKeyboard::Ok)
        return QRect(85, 205, 65, 30);
    return QRect(10 + 50 * (index % 3), 50 + 40 * (index / 3), 40, 30);
}
} // namespace

NumberKeyboard::NumberKeyboard(QWidget* parent) : QDialog(parent)
{
    buildForm();
    menulist_init();
    PopupStack::keepOnTop(this);
}

void NumberKeyboard::buildForm()
{
    setObjectName(QStringLiteral("NumberKeyboard"));
    resize(160, 240);
    setStyleSheet(QStringLiteral("background-color:rgb(114, 133, 154)"));
    PageForm::setPointSize(this, 10);
    label_ = PageForm::label(this, "label", QRect(10, 15, 44, 20), QString());
    label_->setAlignment(Qt::AlignCenter);
    label_->setText(QStringLiteral("宽"));
    lineEdit_ = new QLineEdit(this);
    lineEdit_->setObjectName(QStringLiteral("lineEdit"));
    lineEdit_->setGeometry(64, 10, 89, 30);
    lineEdit_->setStyleSheet(QStringLiteral("background-color: rgb(255, 255, 255);"));
    lineEdit_->setFocusPolicy(Qt::NoFocus);
    lineEdit_->setValidator(new QRegExpValidator(QRegExp(QStringLiteral("[*0-9]+$")), lineEdit_));
    lineEdit_->setText(QStringLiteral("1920"));
    for (int i = 0; i < KeyCount; ++i) {
        const char* style = i == Ok ? "background-color: rgb(71, 119, 255);" : "background-color: rgb(255, 255, 255);";
        keys_[i] = PageForm::button(this, kKeyNames[i], keyGeometry(i), QString::fromLatin1(style));
        if (i <= Digit0)
            keys_[i]->setText(QString::number((i + 1) % 10));
    }
    keys_[Clear]->setText(QStringLiteral("C"));
    PageForm::setIcon(keys_[Delete], QStringLiteral(":/png/delete.png"), 20, 20);
    connect(keys_[Clear], &QPushButton::clicked, this, &NumberKeyboard::on_ButtonC_clicked);
    connect(keys_[Delete], &QPushButton::clicked, this, &NumberKeyboard::on_ButtonX_clicked);
    connect(keys_[Cancel], &QPushButton::clicked, this, &NumberKeyboard::on_Button_close_clicked);
    connect(keys_[Ok], &QPushButton::clicked, this, &NumberKeyboard::on_Button_ok_clicked);
    language_changed();
}

void NumberKeyboard::menulist_init()
{
    ring_.clear();
    for (int i = 0; i < KeyCount; ++i) {
        const bool ok = i == Ok;
        ring_.add(keys_[i], {QString::fromLatin1(ok ? kOkRest : kKeyRest), QString::fromLatin1(ok ? kOkFocus : kKeyFocus),
                             QString(), QString(), QString()});
    }
    ring_.setCurrent(0, false); // no frame until the first Left or Right
}

std::optional<QString> NumberKeyboard::ask(const QString& title, const QString& text)
{
    NumberKeyboard* kb = g_numberkeyboard;
    if (!kb || kb->isVisible())
        return std::nullopt; // one dialog: it cannot be run twice at once
    kb->move(PageBase::mainOrigin() + QPoint(160, 0));
    kb->label_show(title, text);
    kb->result_.reset();
    kb->exec();
    std::optional<QString> result = kb->result_;
    kb->result_.reset();
    return result;
}

bool NumberKeyboard::askFor(My_lineEdit* field)
{
    if (!field)
        return false;
    g_lineedit = field;
    const std::optional<QString> text = ask(fieldTitle(field->objectName()), field->text());
    if (!text)
        return false;
    field->setText(*text);
    return true;
}

QString NumberKeyboard::fieldTitle(const QString& objectName)
{
    if (objectName == QLatin1String("lineEdit_X"))
        return QStringLiteral("X");
    if (objectName == QLatin1String("lineEdit_Y"))
        return QStringLiteral("Y");
    if (objectName == QLatin1String("lineEdit_W"))
        return L10n::pick(kWidthTitles);
    if (objectName == QLatin1String("lineEdit_H"))
        return L10n::pick(kHeightTitles);
    return QString();
}

void NumberKeyboard::label_show(const QString& title, const QString& text)
{
    TextFit::setText(label_, title);
    l_str.clear();
    lineEdit_->setText(text);
    language_changed();
}

void NumberKeyboard::language_changed()
{
    TextFit::setText(keys_[Cancel], L10n::pick(kCancelTexts));
    TextFit::setText(keys_[Ok], L10n::pick(kOkTexts));
}

QString NumberKeyboard::entryText() const
{
    return lineEdit_->text();
}

void NumberKeyboard::on_ButtonC_clicked()
{
    lineEdit_->setText(QStringLiteral("0"));
    l_str.clear();
}

void NumberKeyboard::on_ButtonX_clicked()
{
    QString text = lineEdit_->text();
    text.chop(1);
    lineEdit_->setText(text);
    l_str = text;
}

void NumberKeyboard::on_Button_ok_clicked()
{
    result_ = lineEdit_->text();
    emit sendKeyBoardUIDataToLineEdit(*result_);
    accept();
}

void NumberKeyboard::on_Button_close_clicked()
{
    result_.reset();
    reject();
}

void NumberKeyboard::appendDigit(char digit)
{
    // Every digit, 0 included, is appended: any value a caller accepts
    // (90, 100, 1080, ...) can be typed.
    l_str.append(QLatin1Char(digit));
    lineEdit_->setText(l_str);
    qDebug().noquote() << "l_str =" << l_str;
}

void NumberKeyboard::press(int index)
{
    if (index < Digit0)
        appendDigit(static_cast<char>('1' + index));
    else if (index == Digit0)
        appendDigit('0');
    else if (index == Clear)
        on_ButtonC_clicked();
    else if (index == Delete)
        on_ButtonX_clicked();
    else if (index == Cancel)
        on_Button_close_clicked();
    else if (index == Ok)
        on_Button_ok_clicked();
}

void NumberKeyboard::keyPressEvent(QKeyEvent* event)
{
    // Keys act on release only; the dialog's own Enter/Escape never run.
    if (event->key() == PanelKeys::kOk2)
        qDebug().noquote() << "this is OK button(NumberKeyboard)[Press]\n";
    else if (event->key() == PanelKeys::kBack2)
        qDebug().noquote() << "this is back button(NumberKeyboard)[Press]\n";
}

void NumberKeyboard::keyReleaseEvent(QKeyEvent* event)
{
    switch (PanelKeys::decode(event->key())) {
    case PanelKey::Left:
        qDebug().noquote() << QString::asprintf("this is left-code [NumberKeyboard][Release] ui_select=%#x", ui_select());
        ring_.step(-1);
        break;
    case PanelKey::Right:
        qDebug().noquote() << QString::asprintf("this is right-code [NumberKeyboard][Release] ui_select=%#x", ui_select());
        ring_.step(1);
        break;
    case PanelKey::Ok:
        qDebug().noquote() << "this is OK button(NumberKeyboard)[Release]\n";
        press(ui_select());
        break;
    case PanelKey::Back:
        qDebug().noquote() << "this is back button(NumberKeyboard)[Release]\n";
        on_Button_close_clicked();
        break;
    case PanelKey::Mode:
    case PanelKey::Other:
        break;
    }
}
