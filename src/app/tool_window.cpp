#include "app/tool_window.h"

#include "app/about_box.h"
#include "app/chart/chart_window.h"
#include "app/exchange_status.h"
#include "app/find_sensor/find_sensor_dialog.h"
#include "app/line_in_use.h"
#include "app/main_window.h"
#include "app/network_connect_dialog.h"
#include "app/overview/overview_window.h"
#include "app/traffic_log/traffic_log_window.h"
#include "line/serial_line.h"

#include <QAction>
#include <QMenuBar>
#include <QStatusBar>
#include <QTimer>

namespace kv {

ToolWindow::ToolWindow(QWidget* parent)
    : QMainWindow(parent)
    , m_form(new frmMain(this))
{
    setObjectName(QStringLiteral("ToolWindow"));
    setCentralWidget(m_form);
    // Recording starts with the window, so a log opened late still shows
    // what happened before.
    // It follows the line in use, the serial port or a gateway's connection.
    m_traffic.attach(m_form->line());
    // So are the readings, for a chart opened late.
    connect(&m_form->readings(), &DecodedReadings::decoded, this, &ToolWindow::takeReading);
    // A failed exchange is a gap between the readings before and after it.
    connect(&m_traffic, &TrafficRecorder::framesAdded, this, &ToolWindow::noteFailedExchanges);
    // The form's caption and icon are the window's.
    setWindowTitle(m_form->windowTitle());
    setWindowIcon(m_form->windowIcon());
    buildMenus();
    buildStatusBar();
    fitToForm();
}

ToolWindow::~ToolWindow()
{
    // The log reads the recorder, which goes before the window's children;
    // the search works on the form, which goes before it.
    delete m_trafficLog;
    delete m_chart; // it draws from the history
    delete m_findSensor;
    delete m_overview; // it may poll on the form's line
}

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
    QAction* log = m_tools->addAction(tr("通信记录…(&L)"), this, &ToolWindow::showTrafficLog);
    log->setObjectName(QStringLiteral("actionTrafficLog"));
    log->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
    QAction* find = m_tools->addAction(tr("查找传感器…(&F)"), this, &ToolWindow::showFindSensor);
    find->setObjectName(QStringLiteral("actionFindSensor"));
    find->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    QAction* network = m_tools->addAction(tr("网络连接…(&N)"), this, &ToolWindow::showNetworkConnect);
    network->setObjectName(QStringLiteral("actionNetworkConnect"));
    network->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    QAction* chart = m_tools->addAction(tr("记录与曲线…(&R)"), this, &ToolWindow::showChart);
    chart->setObjectName(QStringLiteral("actionChart"));
    chart->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    QAction* overview = m_tools->addAction(tr("传感器总览…(&B)"), this, &ToolWindow::showOverview);
    overview->setObjectName(QStringLiteral("actionOverview"));
    overview->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_B));
    QMenu* help = bar->addMenu(tr("帮助(&H)"));
    help->setObjectName(QStringLiteral("menuHelp"));
    QAction* about = help->addAction(tr("关于…(&A)"), this, &ToolWindow::showAbout);
    about->setObjectName(QStringLiteral("actionAbout"));
    about->setMenuRole(QAction::AboutRole);
}

void ToolWindow::buildStatusBar()
{
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("statusBar"));
    bar->setSizeGripEnabled(false); // the window has a fixed size
    // As high as the menu bar: one line of text each, and whatever drives
    // the window from outside finds the form halfway between the bars' room.
    bar->setFixedHeight(menuBar()->sizeHint().height());
    bar->addWidget(new ExchangeStatus(m_traffic, bar), 1);
}

void ToolWindow::fitToForm()
{
    m_tools->menuAction()->setVisible(!m_tools->isEmpty());
    // The form has a fixed size: the window is that plus the menu bar above
    // and the status bar below.
    const QSize form = m_form->size();
    setFixedSize(form.width(), form.height() + menuBar()->sizeHint().height() + statusBar()->sizeHint().height());
}

void ToolWindow::showTrafficLog()
{
    if (!m_trafficLog) {
        m_trafficLog = new TrafficLogWindow(m_traffic, this);
        // Closed, it goes: a log nobody looks at costs the recording alone.
        m_trafficLog->setAttribute(Qt::WA_DeleteOnClose);
    }
    m_trafficLog->show();
    m_trafficLog->raise();
    m_trafficLog->activateWindow();
}

TrafficLogWindow* ToolWindow::trafficLog() const
{
    return m_trafficLog;
}

void ToolWindow::showChart()
{
    if (!m_chart)
        m_chart = new ChartWindow(m_history, this);
    m_chart->setPollingPeriod(pollingPeriod());
    m_chart->show();
    m_chart->raise();
    m_chart->activateWindow();
}

ChartWindow* ToolWindow::chart() const
{
    return m_chart;
}

void ToolWindow::takeReading(const Reading& reading)
{
    // The reply is handled as it arrives: the port is still the one it came on.
    takeReadingFrom(reading, m_form->lineName());
}

void ToolWindow::showOverview()
{
    if (!m_overview) {
        // The window's own port is shared with it while open, so the two
        // take turns on that line.
        m_overview = new OverviewWindow(
            [this](int port) -> ExchangeQueue* {
                SerialLine& line = m_form->serialPort();
                const bool serialInUse = !m_form->line().onNetwork() && line.portOpen();
                return serialInUse && line.commPort() == port ? &m_form->exchange() : nullptr;
            },
            this);
        connect(m_overview, &OverviewWindow::readingTaken, this, [this](const Reading& reading, const QString& port) {
            if (reading.ok())
                takeReadingFrom(reading, port);
        });
    }
    m_overview->show();
    m_overview->raise();
    m_overview->activateWindow();
}

OverviewWindow* ToolWindow::overview() const
{
    return m_overview;
}

void ToolWindow::takeReadingFrom(const Reading& reading, const QString& port)
{
    if (!m_history.append(reading, port, pollingPeriod()) || !m_chart)
        return;
    m_chart->setPollingPeriod(pollingPeriod());
    m_chart->readingAdded(reading);
}

void ToolWindow::noteFailedExchanges(qsizetype count)
{
    for (qsizetype row = std::max<qsizetype>(0, m_traffic.size() - count); row < m_traffic.size(); ++row) {
        const TrafficFrame& frame = m_traffic.at(row);
        if (endsExchange(frame) && frame.verdict != FrameVerdict::Ok)
            m_history.interrupt();
    }
}

// The period the readings come at: the polling timer's while it runs; single
// shots have none, and their last reading never grows old.
std::chrono::milliseconds ToolWindow::pollingPeriod()
{
    const QTimer& timer = m_form->pollTimer();
    return timer.isActive() ? std::chrono::milliseconds(timer.interval()) : std::chrono::milliseconds(0);
}

void ToolWindow::showFindSensor()
{
    if (!m_findSensor) {
        m_findSensor = new FindSensorDialog(*m_form, this);
        m_findSensor->setAttribute(Qt::WA_DeleteOnClose);
        // The search's frames cross the line too: the log shows them as any other.
        m_traffic.attach(m_findSensor->searchLine());
        connect(m_findSensor, &FindSensorDialog::addToOverview, this,
            [this](int port, int baudRate, const QList<std::uint8_t>& stations) {
                showOverview();
                m_overview->addSensors(port, baudRate, stations);
            });
    }
    // Modal to this window: while the search holds the line, nothing here
    // may open the port again or send on it.
    m_findSensor->open();
    m_findSensor->raise();
    m_findSensor->activateWindow();
}

FindSensorDialog* ToolWindow::findSensor() const
{
    return m_findSensor;
}

void ToolWindow::showNetworkConnect()
{
    if (!m_networkConnect) {
        m_networkConnect = new NetworkConnectDialog(this);
        m_networkConnect->setAttribute(Qt::WA_DeleteOnClose);
        connect(m_networkConnect, &QDialog::accepted, this,
            [this, dialog = m_networkConnect.data()] { m_form->connectGateway(dialog->address()); });
    }
    m_networkConnect->open();
    m_networkConnect->raise();
    m_networkConnect->activateWindow();
}

NetworkConnectDialog* ToolWindow::networkConnect() const
{
    return m_networkConnect;
}

void ToolWindow::showAbout()
{
    showAboutBox();
}

} // namespace kv
