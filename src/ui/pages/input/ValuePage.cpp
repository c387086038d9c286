#include "ui/pages/input/ValuePage.h"

#include "ui/shell/ChoiceRow.h"
#include "ui/shell/PageForm.h"
#include "ui/shell/PageOpener.h"
#include "ui/shell/ValueStepper.h"

#include <QComboBox>

#include <QFrame>
#include <QLabel>
#include <QLineEdit>

ValuePage::ValuePage(uint8_t focus, const char* className, QWidget* parent)
    : QDialog(parent), PageBase(this, focus, className)
{
    PageForm::setupPage(this, className);
}

QLabel* ValuePage::buildTitle()
{
    QLabel* title = PageForm::label(this, nullptr, QRect(50, 10, 220, 22), QStringLiteral("color:rgb(255,255,255);"));
    title->setAlignment(Qt::AlignCenter);
    return title;
}

QFrame* ValuePage::buildFrame(int height)
{
    frame_ = PageForm::panelFrame(this, QRect(10, 42, 300, height));
    frame_->setFont(PageForm::pointFont(9));
    return frame_;
}

QLabel* ValuePage::rowLabel(const char* name, int y, int width)
{
    // The frame's 9 points do not reach children that carry a style sheet.
    return PageForm::label(frame_, name, QRect(10, y, width, 17), QStringLiteral("color:rgb(255,255,255);"), 9);
}

QString ValuePage::releaseLine(PanelKey key) const
{
    const QString base = PageBase::releaseLine(key);
    if (key == PanelKey::Left || key == PanelKey::Right)
        return base + QString::asprintf(" ui_select=%#x", ring_.current());
    return base;
}

void ValuePage::addValueRow(ValueStepper* stepper)
{
    ring_.add(stepper->field(), ValueStepper::fieldStyles());
    rows_.push_back(Row{stepper, nullptr, nullptr});
}

ValueStepper* ValuePage::addValueField(const char* fieldName, int y, size_t offset, Qt::FocusPolicy focus)
{
    auto* field = new QLineEdit(frame_);
    field->setObjectName(QString::fromLatin1(fieldName));
    field->setGeometry(190, y, 100, 24);
    field->setFont(PageForm::pointFont(9));
    field->setFocusPolicy(focus);
    field->setReadOnly(true);
    auto* stepper = new ValueStepper(field, offset, this);
    addValueRow(stepper);
    return stepper;
}

void ValuePage::addChoiceRow(ChoiceRow* choice, const FocusRing::Styles& styles)
{
    ring_.add(choice->box(), styles);
    rows_.push_back(Row{nullptr, choice, nullptr});
}

void ValuePage::addActionRow(QWidget* widget, std::function<void()> action)
{
    ring_.add(widget, ValueStepper::fieldStyles());
    rows_.push_back(Row{nullptr, nullptr, std::move(action)});
}

void ValuePage::focusFirst()
{
    edit_state = false;
    ring_.setEditing(false);
    ring_.setCurrent(0);
}

void ValuePage::move(int delta)
{
    if (!edit_state) {
        ring_.step(delta);
        return;
    }
    const Row& row = rows_[ring_.current()];
    if (row.value)
        row.value->step(delta);
    else if (row.choice)
        row.choice->step(delta);
}

void ValuePage::onOk()
{
    if (edit_state) {
        endEdit(true);
        return;
    }
    const Row& row = rows_[ring_.current()];
    if (row.action) {
        row.action();
        return;
    }
    if (row.value)
        row.value->begin();
    else if (row.choice)
        row.choice->begin();
    edit_state = true;
    ring_.setEditing(true);
}

void ValuePage::onBack()
{
    if (edit_state) {
        endEdit(false);
        return;
    }
    returnTo(PageOpener::parentOf(pageFocus()));
}

void ValuePage::endEdit(bool keep)
{
    const Row& row = rows_[ring_.current()];
    if (row.value)
        keep ? row.value->commit() : row.value->revert();
    else if (row.choice)
        keep ? row.choice->commit() : row.choice->revert();
    dropEdit();
}

void ValuePage::dropEdit()
{
    edit_state = false;
    ring_.setEditing(false);
}
