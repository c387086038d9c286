#pragma once
#include "ui/shell/FocusRing.h"

#include <QDialog>
#include <QString>

#include <optional>

class QLabel;
class QLineEdit;
class QPushButton;
class My_lineEdit;

// The on-screen number keyboard: one dialog for the whole run, on the right
// half of the panel. Left/Right move a frame over its 14 keys (1..9, 0, C,
// X, cancel, OK), OK acts on the framed key, Back cancels. It is not a
// page: it takes no focus number, ignores Mode and does not pass keys to
// the keypad.
class NumberKeyboard : public QDialog {
    Q_OBJECT
public:
    enum Key : int { Digit1 = 0, Digit0 = 9, Clear = 10, Delete = 11, Cancel = 12, Ok = 13, KeyCount = 14 };

    explicit NumberKeyboard(QWidget* parent = nullptr);

    // Runs the shared keyboard with a title and the field's text; the
    // entered text when OK ends it, nothing when it is cancelled (or no
    // keyboard exists, or it is already running). The result goes only to
    // the caller.
    static std::optional<QString> ask(const QString& title, const QString& text);
    // Asks for a number field: records it in g_lineedit, titles the
    // keyboard by the field's name and writes an accepted text into it.
    static bool askFor(My_lineEdit* field);
    // The keyboard title of a number field by its object name: "X", "Y",
    // the width word for lineEdit_W and the height word for lineEdit_H.
    static QString fieldTitle(const QString& objectName);

    // Sets the title, shows text and empties the entry so far.
    void label_show(const QString& title, const QString& text);
    void language_changed();
    void menulist_init();

    int ui_select() const { return ring_.current(); }
    QString entryText() const;

signals:
    void sendKeyBoardUIDataToLineEdit(QString text);

public slots:
    void on_ButtonC_clicked();
    void on_ButtonX_clicked();
    void on_Button_ok_clicked();
    void on_Button_close_clicked();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    void buildForm();
    void press(int index);
    void appendDigit(char digit);

    QLabel* label_ = nullptr;
    QLineEdit* lineEdit_ = nullptr;
    QPushButton* keys_[KeyCount] = {};
    FocusRing ring_;
    std::optional<QString> result_;

    // The digits entered since the keyboard was last opened or cleared;
    // shared by every use.
    static QString l_str;
};

// The number field the keyboard was last opened for.
extern My_lineEdit* g_lineedit;
