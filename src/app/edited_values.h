#pragma once

#include <QObject>
#include <QString>

#include <array>

class QLineEdit;

namespace kv {

class ControlSet;

// The setting boxes txtValue(2) to txtValue(4) while the technician types in
// them. From his first change a box is his: replies leave it alone until its
// Set button sends what he typed, or Esc in it puts back the value last
// decoded. Replies still tell it what they decoded, for Esc.
class EditedValues : public QObject {
    Q_OBJECT

public:
    static constexpr int FirstRow = 2;
    static constexpr int LastRow = 4;

    explicit EditedValues(const ControlSet& controls, QObject* parent = nullptr);

    // A reply decoded `text` for txtValue(row): true when the box may show
    // it, false while the technician is editing the box.
    bool takeDecoded(int row, const QString& text);
    // The Set button has sent the box's text: replies may write it again.
    void release(int row);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Box {
        QLineEdit* edit = nullptr;
        bool edited = false;
        QString lastDecoded;
    };
    Box* box(int row);

    std::array<Box, LastRow - FirstRow + 1> m_boxes;
};

} // namespace kv
