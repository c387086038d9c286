#pragma once
#include <QFont>
#include <QRect>
#include <QString>

class QFrame;
class QLabel;
class QPushButton;
class QWidget;
class My_lineEdit;

// Builders for the widgets every page form is made of. Nothing built here
// takes Qt keyboard focus (the focus is drawn with style sheets) and
// labels never interpret their text as rich text.
class PageForm {
public:
    // Page background and entry colours shared by the pages.
    static const char* const kPageStyle;   // rgb(16, 16, 28)
    static const char* const kWhiteText;

    // A frameless 320x240 page with the page background.
    static void setupPage(QWidget* page, const char* objectName);
    // The default font at a point size.
    static QFont pointFont(int points);
    // Sets a widget's own font to a point size, keeping its family.
    static void setPointSize(QWidget* widget, int points);
    // The drop-down box look with white text, a 1-pixel border of the
    // given colour and no arrow.
    static QString comboStyle(const char* border);
    // The rounded, white-bordered panel "frame" that holds a page's rows.
    static QFrame* panelFrame(QWidget* parent, const QRect& geometry);
    // A plain-text label; pointSize > 0 sets points, else pixelSize pixels
    // (pixelSize 0 keeps the inherited font).
    static QLabel* label(QWidget* parent, const char* objectName, const QRect& geometry, const QString& style,
                         int pointSize = 0, int pixelSize = 0);
    // The page title, centred, white.
    static QLabel* title(QWidget* parent, const QRect& geometry, int pixelSize = 16);
    // The two hint pictures at the bottom of a menu (OK at 105,220, Back at
    // 176,220).
    static void hintPictures(QWidget* parent);
    // A label showing a picture; records it in "iconPath".
    static QLabel* picture(QWidget* parent, const QRect& geometry, const QString& path);
    static QPushButton* button(QWidget* parent, const char* objectName, const QRect& geometry, const QString& style);
    // A number field: the shared keyboard edits it.
    static My_lineEdit* field(QWidget* parent, const char* objectName, const QRect& geometry, const QString& style);
    // Shows a picture on a button at a size and records the path in the
    // "iconPath" property, so tests see which picture is shown.
    static void setIcon(QPushButton* button, const QString& path, int w, int h);
    static void setPixmap(QLabel* label, const QString& path);
};
