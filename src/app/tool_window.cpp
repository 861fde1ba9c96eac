#include "app/tool_window.h"

#include "app/about_box.h"
#include "app/main_window.h"

#include <QAction>
#include <QMenuBar>

namespace kv {

ToolWindow::ToolWindow(QWidget* parent)
    : QMainWindow(parent)
    , m_form(new frmMain(this))
{
    setObjectName(QStringLiteral("ToolWindow"));
    setCentralWidget(m_form);
    // The form's caption and icon are the window's.
    setWindowTitle(m_form->windowTitle());
    setWindowIcon(m_form->windowIcon());
    buildMenus();
    fitToForm();
}

ToolWindow::~ToolWindow() = default;

void ToolWindow::load()
{
    m_form->load();
}

void ToolWindow::buildMenus()
{
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("menuBar"));
    // The tools menu fills as the tool's windows are added; an empty menu is
    // not shown (see fitToForm).
    m_tools = bar->addMenu(tr("工具(&T)"));
    m_tools->setObjectName(QStringLiteral("menuTools"));
    QMenu* help = bar->addMenu(tr("帮助(&H)"));
    help->setObjectName(QStringLiteral("menuHelp"));
    QAction* about = help->addAction(tr("关于…(&A)"), this, &ToolWindow::showAbout);
    about->setObjectName(QStringLiteral("actionAbout"));
    about->setMenuRole(QAction::AboutRole);
}

void ToolWindow::fitToForm()
{
    m_tools->menuAction()->setVisible(!m_tools->isEmpty());
    // The form has a fixed size: the window is that plus the menu bar.
    const QSize form = m_form->size();
    setFixedSize(form.width(), form.height() + menuBar()->sizeHint().height());
}

void ToolWindow::showAbout()
{
    showAboutBox();
}

} // namespace kv
