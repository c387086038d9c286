#include "ui/shell/ChoiceRow.h"

#include "params/ApplyGate.h"
#include "params/KelRamPara.h"
#include "ui/shell/TextFit.h"

#include <QComboBox>

namespace {
QString boxStyle(const char* border)
{
    return QStringLiteral("QComboBox{\ncolor:rgb(255,255,255);\nbackground-color: rgb(33, 36, 53);border:1px solid %1;\n}"
                          "\nQComboBox:drop-down{\nborder-style:none\n}")
        .arg(QString::fromLatin1(border));
}
} // namespace

FocusRing::Styles ChoiceRow::boxStyles()
{
    FocusRing::Styles s;
    s.rest = boxStyle("rgb(255,255,255)");
    s.focus = boxStyle("rgb(255,171,84)");
    s.editing = boxStyle("rgb(255,0,0)");
    return s;
}

ChoiceRow::Store ChoiceRow::lowByteStore(size_t offset)
{
    return [offset](int choice) {
        uint8_t* at = KelRamPara::p_kelrampara_config->RamBlock + offset;
        const uint8_t low = static_cast<uint8_t>(choice & 0xFF);
        ApplyGate::instance().apply([at, low]() { *at = low; });
    };
}

ChoiceRow::ChoiceRow(QComboBox* box, Store store) : box_(box), store_(std::move(store))
{
}

void ChoiceRow::load(const QStringList& names, int stored)
{
    box_->clear();
    box_->addItems(names);
    TextFit::fitChoices(box_);
    choice_ = (stored >= 0 && stored < names.size()) ? stored : 0;
    saved_ = choice_;
    show();
}

void ChoiceRow::begin()
{
    saved_ = choice_;
}

void ChoiceRow::step(int delta)
{
    const int n = box_->count();
    if (n == 0)
        return;
    choice_ = ((choice_ + delta) % n + n) % n;
    show();
}

void ChoiceRow::commit()
{
    saved_ = choice_;
    if (store_)
        store_(choice_);
}

void ChoiceRow::revert()
{
    choice_ = saved_;
    show();
    if (store_)
        store_(choice_);
}

void ChoiceRow::show()
{
    box_->setCurrentIndex(choice_);
}
