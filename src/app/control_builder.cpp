#include "app/control_builder.h"

#include "app/control_set.h"
#include "app/control_table.h"
#include "app/icons.h"
#include "app/line_control.h"
#include "app/pick_list.h"
#include "app/steady_scroll_bar.h"
#include "app/window_fonts.h"

#include <QCoreApplication>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include <stdexcept>
#include <vector>

namespace kv {

namespace {

const QColor FaceGrey(224, 224, 224);
const QColor TextRed(255, 0, 0);

QString fromUtf8(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// A text of the control table in the window's language. Texts not marked for
// translation (numbers, model names) come back as they are.
QString translated(std::string_view text)
{
    if (text.empty())
        return {};
    const std::string source(text);
    return QCoreApplication::translate("kv::frmMain", source.c_str());
}

QRect pixelRect(const ControlRow& row)
{
    return {twipsToPixels(row.left), twipsToPixels(row.top), twipsToPixels(row.width), twipsToPixels(row.height)};
}

QFont defaultUiFont()
{
    QFont font;
    font.setFamilies({QStringLiteral("SimSun"), QStringLiteral("WenQuanYi Micro Hei")});
    font.setPointSizeF(9);
    return withFallbacks(font);
}

QFont unitFont()
{
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(10.5);
    return withFallbacks(font);
}

void paintFace(QWidget& widget)
{
    QPalette palette = widget.palette();
    palette.setColor(QPalette::Window, FaceGrey);
    widget.setPalette(palette);
    widget.setAutoFillBackground(true);
}

QWidget* createControl(const ControlRow& row, QWidget* parent, const QString& text)
{
    switch (row.kind) {
    case ControlKind::GroupBox: {
        auto* frame = new QGroupBox(text, parent);
        // A plain etched frame with its caption set into the top edge, and the
        // same grey inside as the labels on it.
        frame->setStyleSheet(
            QStringLiteral("QGroupBox { background-color: rgb(224,224,224); border: 1px solid rgb(160,160,160);"
                           " margin-top: 7px; }"
                           "QGroupBox::title { subcontrol-origin: margin; subcontrol-position: top left; left: 7px;"
                           " padding: 0px 1px; background-color: rgb(224,224,224); }"));
        paintFace(*frame);
        return frame;
    }
    case ControlKind::Label: {
        auto* label = new QLabel(text, parent);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        paintFace(*label);
        return label;
    }
    case ControlKind::PickList: {
        auto* list = new PickList(parent);
        for (const ListEntries& entries : listEntriesTable()) {
            if (entries.list != row.name)
                continue;
            for (std::string_view entry : entries.entries)
                list->addItem(translated(entry));
        }
        list->setCurrentIndex(-1);
        list->setEditText(text);
        list->lineEdit()->setCursorPosition(0);
        return list;
    }
    case ControlKind::TextBox:
        return new QLineEdit(text, parent);
    case ControlKind::MultiLineTextBox: {
        auto* memo = new QPlainTextEdit(text, parent);
        memo->setHorizontalScrollBar(new SteadyScrollBar(Qt::Horizontal));
        memo->setVerticalScrollBar(new SteadyScrollBar(Qt::Vertical));
        memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        memo->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        memo->document()->setDocumentMargin(1);
        return memo;
    }
    case ControlKind::Button: {
        auto* button = new QPushButton(text, parent);
        button->setAutoDefault(false);
        return button;
    }
    case ControlKind::PictureBox: {
        auto* picture = new QFrame(parent);
        picture->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        picture->setLineWidth(1);
        paintFace(*picture);
        return picture;
    }
    case ControlKind::Image: {
        auto* image = new QLabel(parent);
        image->setPixmap(lampDot(text));
        image->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        return image;
    }
    case ControlKind::Line:
        return new LineControl(QPoint(twipsToPixels(row.left), twipsToPixels(row.top)),
            QPoint(twipsToPixels(row.width), twipsToPixels(row.height)), parent);
    case ControlKind::Window:
        break;
    }
    throw std::logic_error("a window cannot be built inside another");
}

void applyLook(const ControlRow& row, QWidget& control)
{
    if (row.kind != ControlKind::Line)
        control.setGeometry(pixelRect(row));
    if (row.colour == TextColour::Red) {
        // Red while available; a control switched off greys out like any other.
        QPalette palette = control.palette();
        palette.setColor(QPalette::Active, QPalette::WindowText, TextRed);
        palette.setColor(QPalette::Inactive, QPalette::WindowText, TextRed);
        control.setPalette(palette);
    }
    // Set on every control: a style sheet on a group box would otherwise
    // break the inheritance of the window's font.
    control.setFont(row.font == ControlFont::Arial10_5 ? unitFont() : defaultUiFont());
    control.setEnabled(row.enabled);
    if (!row.toolTip.empty())
        control.setToolTip(translated(row.toolTip));
}

} // namespace

void buildControls(QWidget& window, ControlSet& controls)
{
    std::vector<QLabel*> labels;
    QLabel* caption = nullptr; // the label just built, in its container
    for (const ControlRow& row : controlTable()) {
        const QString name = ControlSet::objectNameFor(fromUtf8(row.name), row.index);
        // An image's text names its picture, not a caption.
        const QString text = row.kind == ControlKind::Image ? fromUtf8(row.text) : translated(row.text);
        if (row.kind == ControlKind::Window) {
            window.setObjectName(name);
            window.setWindowTitle(text);
            window.setWindowIcon(windowIcon());
            window.setFixedSize(pixelRect(row).size());
            window.setFont(defaultUiFont());
            paintFace(window);
            controls.add(&window);
            continue;
        }
        QWidget* parent = controls.widget(fromUtf8(row.container));
        if (!parent)
            throw std::logic_error("control table names a container before creating it: " + std::string(row.container));
        QWidget* control = createControl(row, parent, text);
        control->setObjectName(name);
        applyLook(row, *control);
        controls.add(control);
        // A box's caption is the label built just before it, beside it in
        // the same frame: as its buddy, it names the box to assistive tools
        // (else they would take the frame's title).
        const bool isBox = row.kind == ControlKind::TextBox || row.kind == ControlKind::MultiLineTextBox
            || row.kind == ControlKind::PickList;
        if (isBox && caption && caption->parentWidget() == parent)
            caption->setBuddy(control);
        caption = row.kind == ControlKind::Label ? static_cast<QLabel*>(control) : nullptr;
        if (row.kind == ControlKind::Label)
            labels.push_back(static_cast<QLabel*>(control));
    }
    // A caption whose rectangle runs under its box stays beneath the box.
    for (QLabel* label : labels)
        label->lower();
}

} // namespace kv
