#pragma once
#include "ui/support/ShellFixture.h"

#include "params/ApplyGate.h"
#include "params/KelRamPara.h"
#include "params/global.h"
#include "ui/pages/registerPageMakers.h"
#include "ui/shell/NumberKeyboard.h"
#include "ui/shell/PageFocus.h"
#include "ui/shell/PageOpener.h"
#include "ui/shell/ShellGlobals.h"
#include "ui/shell/PagePointers.h"
#include "ui/shell/PanelKeys.h"

#include <QLabel>
#include <QWidget>

#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <string>
#include <vector>

namespace kel::test {

// Offsets of the block as the parameter layout gives them.
constexpr size_t kWindow0 = 2272;
constexpr size_t kWindowSize = 26;
constexpr size_t kCropTable = 1472;
constexpr size_t kEdidRecords = 896;
constexpr size_t kVideoInfo = 256;
constexpr size_t kCurrentUserMode = 866;
constexpr size_t windowAt(int w) { return kWindow0 + kWindowSize * static_cast<size_t>(w); }
constexpr size_t cropAt(int row) { return kCropTable + 10 * static_cast<size_t>(row); }

// The input pages on the offscreen panel, with the makers start-up uses.
class InputPageFixture : public ShellFixture {
protected:
    void SetUp() override
    {
        ShellFixture::SetUp();
        registerPageMakers();
        g_page_focus = PageFocus::MainWindow;
    }

    Step keys(std::initializer_list<int> codes)
    {
        std::vector<int> list(codes);
        return [this, list]() {
            for (int code : list)
                key(code);
        };
    }
    // The number keyboard is open: types the digits and presses its OK.
    Step type(const QString& digits)
    {
        return [this, digits]() {
            const QString order = QStringLiteral("1234567890");
            for (QChar c : digits)
                pressKeyboard(order.indexOf(c));
            pressKeyboard(NumberKeyboard::Ok);
        };
    }
    void pressKeyboard(int index)
    {
        while (g_numberkeyboard->ui_select() != index)
            key(PanelKeys::kRight);
        key(PanelKeys::kOk);
    }
    uint8_t flag() const { return ApplyGate::instance().c331_apply_flag.load(); }
    void clearFlag() { ApplyGate::instance().c331_apply_flag = 0; }

    // A crop through the store, as another writer (or an earlier visit)
    // leaves it.
    void addCrop(int source, int x, int y, int w, int h)
    {
        const CROP_PARA rect{0, x, y, w, h};
        ASSERT_EQ(0, ram().KelAddNewCrop(source, &rect));
        ram().KelCropSourceInit();
    }
    void deleteCrop(int source, int k)
    {
        ram().KelDeleteCrop(source, k);
        ram().KelCropSourceInit();
    }
    void setVideo(int source, uint16_t w, uint16_t h, uint16_t hz)
    {
        setU16(kVideoInfo + 6 * source, w);
        setU16(kVideoInfo + 6 * source + 2, h);
        setU16(kVideoInfo + 6 * source + 4, hz);
    }

    static QString textOf(const QString& name)
    {
        auto* l = qobject_cast<QLabel*>(find(name));
        return l ? l->text() : QStringLiteral("<missing %1>").arg(name);
    }
    // Children of a page widget by object name, left to right, top to bottom.
    template <class T>
    static std::vector<T*> childrenNamed(QWidget* parent, const QString& name)
    {
        std::vector<T*> out;
        if (!parent)
            return out;
        for (T* c : parent->findChildren<T*>(name))
            out.push_back(c);
        std::sort(out.begin(), out.end(), [](T* a, T* b) {
            const QPoint pa = a->mapTo(a->window(), QPoint()), pb = b->mapTo(b->window(), QPoint());
            return pa.y() != pb.y() ? pa.y() < pb.y() : pa.x() < pb.x();
        });
        return out;
    }
    static std::vector<QString> texts(QWidget* parent, const QString& name)
    {
        std::vector<QString> out;
        for (QLabel* l : childrenNamed<QLabel>(parent, name))
            out.push_back(l->text());
        return out;
    }
};

} // namespace kel::test
