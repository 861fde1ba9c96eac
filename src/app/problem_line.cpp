#include "app/problem_line.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QStyle>
#include <QToolButton>

namespace kv {

ProblemLine::ProblemLine(QWidget* parent)
    : QFrame(parent)
    , m_text(new QLabel(this))
{
    setObjectName(QStringLiteral("problemLine"));
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, QColor(255, 236, 204));
    colours.setColor(QPalette::WindowText, Qt::black);
    setPalette(colours);

    auto* icon = new QLabel(this);
    const int side = style()->pixelMetric(QStyle::PM_SmallIconSize);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(side, side));
    m_text->setObjectName(QStringLiteral("problemText"));
    m_text->setWordWrap(true);
    m_text->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* close = new QToolButton(this);
    close->setObjectName(QStringLiteral("dismissProblem"));
    close->setText(tr("关闭"));
    close->setToolTip(tr("关闭此提示"));

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(6, 3, 3, 3);
    layout->addWidget(icon);
    layout->addWidget(m_text, 1);
    layout->addWidget(close);
    connect(close, &QToolButton::clicked, this, &ProblemLine::hide);
    hide();
}

void ProblemLine::say(const QString& text, const QString& detail)
{
    m_text->setText(text);
    m_text->setToolTip(detail);
    show();
}

QString ProblemLine::text() const
{
    return isVisibleTo(parentWidget()) ? m_text->text() : QString();
}

} // namespace kv
