#pragma once
#include "ui/shell/FocusRing.h"
#include "ui/shell/PageBase.h"

#include <QDialog>
#include <QFont>

#include <memory>

class QFrame;
class QLabel;
class QPushButton;
class My_lineEdit;
class SourceTabs;

// The input crop page: the six inputs as tabs, the focused input's entries
// (the input, then its crops in ascending crop number) six to a page with
// the add button first on page 0, and an editor for adding, changing or
// deleting a crop. Every change goes through the hand-off.
class InputCut : public QDialog, public PageBase {
    Q_OBJECT
public:
    enum State : uint8_t { Tabs = 0, List = 1, Adding = 2, Editing = 3 };
    static constexpr int kPerPage = 6;

    explicit InputCut(QWidget* parent = nullptr);
    ~InputCut() override;

    void language_changed() override;
    void syncUpdate(int reason) override;

    void crop_source_num_update();
    void source_init();
    void kel_button_input_clicked();

    uint8_t state() const { return cut_state; }
    uint8_t selection() const { return ui_select; }
    uint8_t page() const { return current_page; }
    uint8_t sourceNumber() const { return source_number; }
    int editorRow() const { return ring_.current(); }
    // A crop value as the editor takes it: a decimal 0..32767 (width and
    // height from 1); -1 when refused.
    static int parseValue(const QString& text, bool size);

protected:
    void keyPressEvent(QKeyEvent* event) override { handleKeyPress(event); }
    void keyReleaseEvent(QKeyEvent* event) override { handleKeyRelease(event); }
    void onLeft() override { step(-1); }
    void onRight() override { step(1); }
    void onOk() override;
    void onBack() override;
    void clearInstancePointer() override;

private:
    void buildForm();
    void step(int delta);
    void openEditor(bool adding);
    void leaveEditor();
    // OK in the editor: false when a value is refused (the editor stays).
    bool storeCrop();
    void deleteCrop();
    void afterChange();
    int listCount() const;
    int entryAt(int index) const;
    const uint8_t* block() const;

    uint8_t ui_select = 0;
    uint8_t cut_state = Tabs;
    uint8_t saved_source_select = 0;
    uint8_t saved_crop_select = 0;
    uint8_t entry_count[6] = {};
    uint8_t current_page = 0;
    uint8_t max_page = 0;
    uint8_t source_number = 2;
    uint8_t crop_number = 0;
    QString source_name;
    QString crop_name;
    QFont item_font;

    std::unique_ptr<SourceTabs> tabs_;
    FocusRing ring_;
    QLabel* label_title = nullptr;
    QFrame* source_tab_frame = nullptr;
    QFrame* frame_source = nullptr;
    QPushButton* button_add = nullptr;
    QFrame* frame_add = nullptr;
    QLabel* label_change_source = nullptr;
    QLabel* label_crop = nullptr;
    QLabel* label_W = nullptr;
    QLabel* label_H = nullptr;
    My_lineEdit* fields_[4] = {};
    QPushButton* button_delete = nullptr;
    QPushButton* button_cancel = nullptr;
    QPushButton* button_ok = nullptr;
};
