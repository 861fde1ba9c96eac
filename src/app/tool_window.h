#pragma once

#include <QMainWindow>

class QMenu;

namespace kv {

class frmMain;

// The tool's top-level window: the form `frmMain` as it was designed, with a
// menu bar above it that reaches the tool's further windows. The form keeps
// its size and every control its place; the window grows by the menu's height.
class ToolWindow : public QMainWindow {
    Q_OBJECT

public:
    explicit ToolWindow(QWidget* parent = nullptr);
    ~ToolWindow() override;

    // Runs the form's start-up; call once, before the window is shown.
    void load();

    frmMain& form() { return *m_form; }

    QMenu* toolsMenu() const { return m_tools; }

private:
    void buildMenus();
    void showAbout();
    void fitToForm();

    frmMain* m_form;
    QMenu* m_tools = nullptr;
};

} // namespace kv
