#include "caption_walk.h"

#include "app/traffic_log/text_line.h"

#include <QAbstractItemModel>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QStyle>
#include <QStyleOption>
#include <QToolButton>

namespace kv::test {

namespace {

int widestLine(const QFontMetrics& metrics, const QString& text)
{
    int widest = 0;
    for (const QString& line : text.split(QLatin1Char('\n')))
        widest = std::max(widest, metrics.horizontalAdvance(line));
    return widest;
}

Caption captionOf(const QWidget& control, const QString& text, int needed, int room)
{
    return Caption{&control, text, control.font(), needed, room};
}

// What of a label's rectangle shows: a sibling stacked above it and standing
// in its first line covers the rest of that line.
int visibleWidth(const QLabel& label)
{
    const QRect text = label.contentsRect().translated(label.pos());
    const QRect firstLine(text.left(), text.top(), text.width(), label.fontMetrics().height());
    int right = text.right() + 1;
    const QObjectList& stack = label.parentWidget()->children();
    for (qsizetype above = stack.indexOf(&label) + 1; above < stack.size(); ++above) {
        auto* sibling = qobject_cast<QWidget*>(stack[above]);
        if (sibling && sibling->isVisible() && sibling->geometry().intersects(firstLine)
            && sibling->geometry().left() > text.left())
            right = std::min(right, sibling->geometry().left());
    }
    return right - text.left();
}

QList<Caption> labelCaptions(const QLabel& label)
{
    if (label.text().isEmpty() || label.wordWrap() || Qt::mightBeRichText(label.text()))
        return {};
    const int lines = static_cast<int>(label.text().count(QLatin1Char('\n'))) + 1;
    const int height = lines * label.fontMetrics().lineSpacing();
    if (height > label.contentsRect().height())
        return {captionOf(label, label.text() + QStringLiteral(" (height)"), height, label.contentsRect().height())};
    return {captionOf(label, label.text(), widestLine(label.fontMetrics(), label.text()), visibleWidth(label))};
}

QList<Caption> buttonCaptions(const QPushButton& button)
{
    if (button.text().isEmpty())
        return {};
    QStyleOptionButton option;
    option.initFrom(&button);
    option.text = button.text();
    if (button.autoDefault())
        option.features |= QStyleOptionButton::AutoDefaultButton;
    const QRect contents = button.style()->subElementRect(QStyle::SE_PushButtonContents, &option, &button);
    const QString text = withoutMnemonic(button.text());
    return {captionOf(button, text, button.fontMetrics().horizontalAdvance(text), contents.width())};
}

QList<Caption> checkBoxCaptions(const QCheckBox& box)
{
    QStyleOptionButton option;
    option.initFrom(&box);
    option.text = box.text();
    const QRect contents = box.style()->subElementRect(QStyle::SE_CheckBoxContents, &option, &box);
    const QString text = withoutMnemonic(box.text());
    return {captionOf(box, text, box.fontMetrics().horizontalAdvance(text), contents.width())};
}

// A title runs from where the style puts it to the frame's right edge.
QList<Caption> groupBoxCaptions(const QGroupBox& box)
{
    if (box.title().isEmpty())
        return {};
    QStyleOptionGroupBox option;
    option.initFrom(&box);
    option.text = box.title();
    option.lineWidth = 1;
    option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
    option.textAlignment = box.alignment();
    const QRect label = box.style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, &box);
    const QString text = withoutMnemonic(box.title());
    return {captionOf(box, text, box.fontMetrics().horizontalAdvance(text), box.width() - 1 - label.left())};
}

// Every entry of an editable list, as its text field shows it (the field keeps
// two pixels clear on either side).
QList<Caption> pickListCaptions(const QComboBox& list)
{
    if (!list.lineEdit())
        return {};
    const QLineEdit& field = *list.lineEdit();
    const int room = field.contentsRect().width() - 4;
    QList<Caption> captions{
        Caption{&list, field.text(), field.font(), field.fontMetrics().horizontalAdvance(field.text()), room}};
    for (int position = 0; position < list.count(); ++position) {
        const QString entry = list.itemText(position);
        captions << Caption{&list, entry, field.font(), field.fontMetrics().horizontalAdvance(entry), room};
    }
    return captions;
}

// A few lines that end in an ellipsis when they do not fit.
QList<Caption> textLineCaptions(const TextLine& line)
{
    if (line.text().isEmpty())
        return {};
    return {captionOf(line, line.text(), widestLine(line.fontMetrics(), line.text()), line.contentsRect().width())};
}

// A tool button is as wide as its icon and text need, unless squeezed.
QList<Caption> toolButtonCaptions(const QToolButton& button)
{
    if (button.toolButtonStyle() == Qt::ToolButtonIconOnly || button.text().isEmpty())
        return {};
    return {captionOf(button, withoutMnemonic(button.text()), button.sizeHint().width(), button.width())};
}

// Each column title against its column, less the header's margins.
QList<Caption> headerCaptions(const QHeaderView& header)
{
    if (header.orientation() != Qt::Horizontal || !header.model())
        return {};
    const int margins = 2 * header.style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, &header);
    QList<Caption> captions;
    for (int section = 0; section < header.count(); ++section) {
        const QString title = header.model()->headerData(section, Qt::Horizontal).toString();
        captions << captionOf(
            header, title, header.fontMetrics().horizontalAdvance(title), header.sectionSize(section) - margins);
    }
    return captions;
}

QList<Caption> captionsOf(const QWidget& control)
{
    if (auto* line = qobject_cast<const TextLine*>(&control))
        return textLineCaptions(*line);
    if (auto* button = qobject_cast<const QToolButton*>(&control))
        return toolButtonCaptions(*button);
    if (auto* header = qobject_cast<const QHeaderView*>(&control))
        return headerCaptions(*header);
    if (auto* label = qobject_cast<const QLabel*>(&control))
        return labelCaptions(*label);
    if (auto* button = qobject_cast<const QPushButton*>(&control))
        return buttonCaptions(*button);
    if (auto* box = qobject_cast<const QCheckBox*>(&control))
        return checkBoxCaptions(*box);
    if (auto* box = qobject_cast<const QGroupBox*>(&control))
        return groupBoxCaptions(*box);
    if (auto* list = qobject_cast<const QComboBox*>(&control))
        return pickListCaptions(*list);
    return {};
}

void addMenuEntries(const QMenu& menu, QList<Caption>& captions)
{
    for (QAction* action : menu.actions()) {
        if (action->isSeparator() || !action->isVisible())
            continue;
        const QString text = withoutMnemonic(action->text());
        const int width = menu.fontMetrics().horizontalAdvance(text);
        captions << Caption{&menu, text, menu.font(), width, width};
        if (action->menu())
            addMenuEntries(*action->menu(), captions);
    }
}

} // namespace

QString withoutMnemonic(QString text)
{
    return text.remove(QRegularExpression(QStringLiteral("&(?!&)")));
}

QList<Caption> captionsUnder(const QWidget& window)
{
    QList<Caption> captions;
    for (const QWidget* control : window.findChildren<QWidget*>()) {
        if (control->isVisibleTo(&window))
            captions << captionsOf(*control);
    }
    return captions;
}

QList<Caption> menuCaptions(const QWidget& window)
{
    QList<Caption> captions;
    for (const QMenuBar* bar : window.findChildren<QMenuBar*>()) {
        for (QAction* title : bar->actions()) {
            if (!title->isVisible())
                continue;
            const QString text = withoutMnemonic(title->text());
            captions << Caption{
                bar, text, bar->font(), bar->fontMetrics().horizontalAdvance(text), bar->actionGeometry(title).width()};
            if (title->menu())
                addMenuEntries(*title->menu(), captions);
        }
    }
    return captions;
}

QString nameOf(const Caption& caption)
{
    const QWidget& control = *caption.control;
    return control.objectName().isEmpty()
        ? QStringLiteral("%1 \"%2\"").arg(control.metaObject()->className(), caption.text)
        : control.objectName();
}

} // namespace kv::test
