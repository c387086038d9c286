#include "ui/pages/input/SourceTabs.h"

#include "inputs/sourceinfo.h"
#include "params/KelRamPara.h"
#include "params/RamLayout.h"
#include "ui/shell/CropNames.h"
#include "ui/shell/PageForm.h"

#include <QLabel>

namespace {
uint8_t idAt(int position)
{
    return sourceinfo::get_source_id_by_listseq(static_cast<uint8_t>(position));
}
} // namespace

SourceTabs::SourceTabs(QWidget* parent, const RectOf& nameRect, const RectOf& pixmapRect, const QString& labelStyle,
                       int namePointSize)
{
    for (int n = 0; n < kCount; ++n) {
        const QByteArray nameObject = QStringLiteral("sourcelistseq%1name").arg(n).toLatin1();
        names_[n] = PageForm::label(parent, nameObject.constData(), nameRect(n), labelStyle, namePointSize);
        names_[n]->setTextFormat(Qt::RichText); // the names carry their input's colour
        names_[n]->setAlignment(Qt::AlignCenter);
        const QByteArray pixmapObject = QStringLiteral("sourcelistseq%1pixmap").arg(n).toLatin1();
        pixmaps_[n] = PageForm::label(parent, pixmapObject.constData(), pixmapRect(n), labelStyle);
        pixmaps_[n]->setScaledContents(true);
    }
}

void SourceTabs::showNames()
{
    for (int n = 0; n < kCount; ++n) {
        const QString plain = sourceinfo::get_source_name_by_listseq(static_cast<uint8_t>(n));
        names_[n]->setText(sourceinfo::get_source_specialstyle0_by_sourceid(idAt(n)).arg(plain.toHtmlEscaped()));
    }
}

void SourceTabs::showCounts(const int counts[kCount])
{
    for (int n = 0; n < kCount; ++n)
        names_[n]->setText(CropNames::tabText(n, counts[idAt(n)]));
}

void SourceTabs::showIcons()
{
    for (int n = 0; n < kCount; ++n)
        PageForm::setPixmap(pixmaps_[n], sourceinfo::icon_path(idAt(n)));
}

void SourceTabs::showOnline(const uint8_t* block)
{
    for (int n = 0; n < kCount; ++n) {
        const uint8_t id = idAt(n);
        PageForm::setPixmap(pixmaps_[n], sourceinfo::online_icon_path(id, online(block, id) ? 1 : 0));
    }
}

bool SourceTabs::online(const uint8_t* block, int source)
{
    const size_t at = RamLayout::srcVideoInfo(source);
    return RamLayout::u16(block, at) != 0 && RamLayout::u16(block, at + 2) != 0 && RamLayout::u16(block, at + 4) != 0;
}

int SourceTabs::entryCount(KelRamPara& ram, int source)
{
    return ram.KelGetSourceNum(source, RamLayout::kCropRows) + 1;
}
