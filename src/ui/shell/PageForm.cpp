#include "ui/shell/PageForm.h"

#include "ui/shell/My_lineEdit.h"

#include <QFrame>
#include <QIcon>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QVariant>

const char* const PageForm::kPageStyle = "background-color: rgb(16, 16, 28);";
const char* const PageForm::kWhiteText = "color: rgb(255, 255, 255);";

void PageForm::setupPage(QWidget* page, const char* objectName)
{
    page->setObjectName(QString::fromLatin1(objectName));
    page->setFixedSize(320, 240);
    page->setWindowFlags(page->windowFlags() | Qt::FramelessWindowHint);
    page->setStyleSheet(QString::fromLatin1(kPageStyle));
}

QFont PageForm::pointFont(int points)
{
    QFont f;
    f.setPointSize(points);
    return f;
}

void PageForm::setPointSize(QWidget* widget, int points)
{
    QFont f = widget->font();
    f.setPointSize(points);
    widget->setFont(f);
}

QString PageForm::comboStyle(const char* border)
{
    return QStringLiteral("QComboBox{\ncolor:rgb(255,255,255);\nborder:1px solid %1;\n}\n"
                          "QComboBox:drop-down{\nborder-style:none\n}")
        .arg(QLatin1String(border));
}

QFrame* PageForm::panelFrame(QWidget* parent, const QRect& geometry)
{
    auto* frame = new QFrame(parent);
    frame->setObjectName(QStringLiteral("frame"));
    frame->setGeometry(geometry);
    frame->setFrameShape(QFrame::StyledPanel);
    frame->setFrameShadow(QFrame::Raised);
    frame->setStyleSheet(QStringLiteral("#frame{background-color: rgb(16, 16, 28);border:1px solid rgb(255, 255, 255);"
                                        "\nborder-radius:6px;padding:2px 4px}"));
    return frame;
}

QLabel* PageForm::label(QWidget* parent, const char* objectName, const QRect& geometry, const QString& style,
                        int pointSize, int pixelSize)
{
    auto* l = new QLabel(parent);
    if (objectName)
        l->setObjectName(QString::fromLatin1(objectName));
    l->setGeometry(geometry);
    l->setStyleSheet(style);
    l->setTextFormat(Qt::PlainText);
    l->setFocusPolicy(Qt::NoFocus);
    if (pointSize > 0 || pixelSize > 0) {
        QFont f = l->font();
        if (pointSize > 0)
            f.setPointSize(pointSize);
        else
            f.setPixelSize(pixelSize);
        l->setFont(f);
    }
    return l;
}

QLabel* PageForm::title(QWidget* parent, const QRect& geometry, int pixelSize)
{
    QLabel* l = label(parent, "label_title", geometry, QString::fromLatin1(kWhiteText), 0, pixelSize);
    l->setAlignment(Qt::AlignCenter);
    return l;
}

void PageForm::hintPictures(QWidget* parent)
{
    picture(parent, QRect(105, 220, 51, 17), QStringLiteral(":/png/OK_Enter.png"))
        ->setObjectName(QStringLiteral("label_note_OK"));
    picture(parent, QRect(176, 220, 56, 17), QStringLiteral(":/png/back_return.png"))
        ->setObjectName(QStringLiteral("label_note_back"));
}

QLabel* PageForm::picture(QWidget* parent, const QRect& geometry, const QString& path)
{
    QLabel* l = label(parent, nullptr, geometry, QString());
    setPixmap(l, path);
    return l;
}

QPushButton* PageForm::button(QWidget* parent, const char* objectName, const QRect& geometry, const QString& style)
{
    auto* b = new QPushButton(parent);
    b->setObjectName(QString::fromLatin1(objectName));
    b->setGeometry(geometry);
    b->setStyleSheet(style);
    b->setFocusPolicy(Qt::NoFocus);
    return b;
}

My_lineEdit* PageForm::field(QWidget* parent, const char* objectName, const QRect& geometry, const QString& style)
{
    auto* f = new My_lineEdit(parent);
    f->setObjectName(QString::fromLatin1(objectName));
    f->setGeometry(geometry);
    f->setStyleSheet(style);
    return f;
}

void PageForm::setIcon(QPushButton* button, const QString& path, int w, int h)
{
    button->setIcon(QIcon(path));
    button->setIconSize(QSize(w, h));
    button->setProperty("iconPath", path);
}

void PageForm::setPixmap(QLabel* label, const QString& path)
{
    label->setPixmap(QPixmap(path));
    label->setProperty("iconPath", path);
}
