#pragma once

#include <QComboBox>

namespace kv {

// An editable drop-down list whose handler runs when an entry is chosen: by
// the user from the popup or with the arrow keys (even the entry already
// chosen), or by program code through choose(), which runs it before
// returning. Typing into the text runs nothing and inserts nothing, however
// the typing ends (Enter, Tab, a click elsewhere). The popup is as wide as its
// widest entry needs, however narrow the list.
class PickList : public QComboBox {
    Q_OBJECT

public:
    explicit PickList(QWidget* parent = nullptr);

    // Selects the entry at position (-1: none) and runs the handler.
    void choose(int position);
    // Selects the first entry with exactly this text, searching from position 0.
    void chooseText(const QString& text);

    void showPopup() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void fitPopupToEntries();

    bool m_handlingText = false;

signals:
    void chosen();
    void popupAboutToShow();
};

} // namespace kv
