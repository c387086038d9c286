#pragma once
#include <QLineEdit>

// A number field of a page. It never takes Qt keyboard focus; a press on it
// (pointer) asks its page to open the number keyboard with its text.
class My_lineEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit My_lineEdit(QWidget* parent = nullptr);

signals:
    void send_show(QString text);

protected:
    void mousePressEvent(QMouseEvent* event) override;
};
