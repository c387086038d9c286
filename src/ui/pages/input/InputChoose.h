#pragma once
#include "ui/shell/PageBase.h"

#include <QDialog>

#include <memory>

class QFrame;
class QLabel;
class QPushButton;
class SourceTabs;

// The input choice page: what each window shows, one of the six inputs or
// one of an input's crops. Three levels: 0 the row of enabled windows and
// the two buttons (crop page, EDID page), 1 the input tabs, 2 the grid of
// the input's entries (the input itself, then its crops in ascending crop
// number), three to a page. OK on an entry stores the window's selector
// through the hand-off and shows the saved notice.
class InputChoose : public QDialog, public PageBase {
    Q_OBJECT
public:
    enum Level : uint8_t { Images = 0, Tabs = 1, Grid = 2 };
    static constexpr uint8_t kButtonInputCut = 6;
    static constexpr uint8_t kButtonEdid = 7;
    static constexpr int kPerPage = 3;

    explicit InputChoose(QWidget* parent = nullptr);
    ~InputChoose() override;

    void language_changed() override;
    void syncUpdate(int reason) override;
    // A child page (crops, EDID) closed: crops and timings may have changed.
    void childReturned();

    void initMenu();
    void imagemenu();
    void image_select();
    void on_Button_source_clicked();
    void initSource();
    void TextCreate(int image);
    void crop_source_num_update();
    void kel_source_button_clicked();

    uint8_t level() const { return ui_seltype; }
    uint8_t selection() const { return ui_select; }
    uint8_t page() const { return current_page; }
    uint8_t imageIndex() const { return image_index; }
    uint8_t sourceNumber() const { return source_number; }
    int entryCount(int source) const { return source >= 0 && source < 6 ? entry_count[source] : 0; }
    // The grid entry that the window uses, 0 for the input, -1 when the
    // shown input is not the window's.
    int entryInUse() const;

protected:
    void keyPressEvent(QKeyEvent* event) override { handleKeyPress(event); }
    void keyReleaseEvent(QKeyEvent* event) override { handleKeyRelease(event); }
    void onLeft() override { step(-1); }
    void onRight() override { step(1); }
    void onOk() override;
    void onBack() override;
    void clearInstancePointer() override;
    QString releaseLine(PanelKey key) const override;

private:
    void buildForm();
    void menulist_init();
    void step(int delta);
    void stepImageRow(int delta);
    void para_source_index_init();
    void para_uiselect_init();
    void readImage();
    int source_current_check();
    bool imageEnabled(int image) const;
    const uint8_t* block() const;

    uint8_t ui_seltype = Images;
    uint8_t ui_select = 0;
    uint8_t current_page = 0;
    uint8_t max_page = 0;
    uint8_t image_index = 0;
    uint8_t source_number = 0;
    uint8_t source_listseq = 0;
    uint8_t used_source = 0;
    uint16_t used_crop = 0;
    uint8_t used_crop_row = 0;
    uint8_t saved_position = 0;
    uint8_t image_count = 0;
    uint8_t image_order[6] = {};
    uint8_t entry_count[6] = {};
    QString source_name;

    std::unique_ptr<SourceTabs> tabs_;
    QLabel* label_title = nullptr;
    QFrame* frame1 = nullptr;
    QPushButton* button_inputcut = nullptr;
    QPushButton* button_EDID = nullptr;
    QFrame* imageRow_ = nullptr;
    QFrame* imageFocus_ = nullptr;
    QLabel* imageNames_[6] = {};
    QFrame* grid_ = nullptr;
};
