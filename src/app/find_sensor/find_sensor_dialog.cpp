#include "app/find_sensor/find_sensor_dialog.h"

#include "app/find_sensor/use_found_sensor.h"
#include "app/find_sensor/window_line.h"
#include "app/open_failure_text.h"
#include "serial/port_directory.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include <array>
#include <chrono>

namespace kv {

namespace {

// The rates as the window's rate list shows them; a search tries them in the
// sweep's own order, the factory rate first.
constexpr std::array<int, 4> ShownRates{2400, 4800, 9600, 19200};

constexpr std::chrono::milliseconds ElapsedRefresh{100};

QString secondsText(qint64 milliseconds)
{
    return QString::number(static_cast<double>(milliseconds) / 1000.0, 'f', 1);
}

} // namespace

FindSensorDialog::FindSensorDialog(WindowLine& window, QWidget* parent)
    : QDialog(parent)
    , m_window(window)
{
    setObjectName(QStringLiteral("FindSensorDialog"));
    setWindowTitle(tr("查找传感器"));
    // The ports the window's port list offers, each device once.
    const QList<PortDevice> devices = portDevices(window.portCount());
    for (int number = 1; number <= devices.size(); ++number) {
        const QString& path = devices[number - 1].path;
        if (path.isEmpty() || m_portOfDevice.contains(path))
            continue;
        m_ports.append({number, path, portToolTip(number, devices[number - 1])});
        m_portOfDevice.insert(path, number);
    }
    buildControls();
    connectSweep();
    m_elapsedTicker.setInterval(ElapsedRefresh);
    connect(&m_elapsedTicker, &QTimer::timeout, this, &FindSensorDialog::showElapsed);
    refreshButtons();
}

FindSensorDialog::~FindSensorDialog()
{
    // Gone with its window, the dialog leaves that window alone: the sweep
    // ends without anything being given back.
    disconnect(&m_sweep, nullptr, this, nullptr);
    m_sweep.stop();
}

void FindSensorDialog::buildControls()
{
    auto* layout = new QVBoxLayout(this);

    auto* choices = new QHBoxLayout;
    choices->addWidget(buildPortList(), 1);
    choices->addWidget(buildRates());
    layout->addLayout(choices);

    auto* commands = new QHBoxLayout;
    m_scan = new QCheckBox(tr("逐个地址扫描 (1-247)"), this);
    m_scan->setObjectName(QStringLiteral("scanStations"));
    m_scan->setToolTip(tr("站号 250 无应答时，逐个询问站号 1 到 247（每个波特率约需 17 秒）"));
    m_start = new QPushButton(tr("开始"), this);
    m_start->setObjectName(QStringLiteral("startButton"));
    m_stop = new QPushButton(tr("停止"), this);
    m_stop->setObjectName(QStringLiteral("stopButton"));
    commands->addWidget(m_scan);
    commands->addStretch();
    commands->addWidget(m_start);
    commands->addWidget(m_stop);
    layout->addLayout(commands);

    auto* status = new QHBoxLayout;
    m_trying = new QLabel(this);
    m_trying->setObjectName(QStringLiteral("tryingLabel"));
    m_elapsed = new QLabel(this);
    m_elapsed->setObjectName(QStringLiteral("elapsedLabel"));
    status->addWidget(m_trying, 1);
    status->addWidget(m_elapsed);
    layout->addLayout(status);
    m_bar = new QProgressBar(this);
    m_bar->setObjectName(QStringLiteral("progressBar"));
    m_bar->setRange(0, 1);
    m_bar->setValue(0);
    layout->addWidget(m_bar);

    m_table = new QTableView(this);
    m_table->setObjectName(QStringLiteral("foundTable"));
    m_table->setModel(&m_found);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->verticalHeader()->hide();
    m_table->verticalHeader()->setDefaultSectionSize(m_table->fontMetrics().lineSpacing() + 8);
    fitColumns();
    layout->addWidget(m_table, 1);

    m_notes = new QPlainTextEdit(this);
    m_notes->setObjectName(QStringLiteral("notes"));
    m_notes->setReadOnly(true);
    m_notes->setFixedHeight(m_notes->fontMetrics().lineSpacing() * 4 + 2 * m_notes->frameWidth() + 8);
    m_notes->setPlaceholderText(tr("查找过程中的提示显示在这里"));
    layout->addWidget(m_notes);

    auto* buttons = new QDialogButtonBox(this);
    m_use = buttons->addButton(tr("使用"), QDialogButtonBox::AcceptRole);
    m_use->setObjectName(QStringLiteral("useButton"));
    m_use->setToolTip(tr("关闭本窗口，并在主窗口中选好该传感器的串口、波特率和设备地址"));
    // Enter on a chosen row takes it; on a focused button it presses that button.
    m_use->setDefault(true);
    m_addAll = buttons->addButton(tr("全部加入总览"), QDialogButtonBox::ActionRole);
    m_addAll->setObjectName(QStringLiteral("addAllToOverviewButton"));
    m_addAll->setToolTip(tr("把找到的每个传感器加入传感器总览"));
    QPushButton* close = buttons->addButton(tr("关闭"), QDialogButtonBox::RejectRole);
    close->setObjectName(QStringLiteral("closeButton"));
    layout->addWidget(buttons);

    connect(m_start, &QPushButton::clicked, this, &FindSensorDialog::start);
    connect(m_stop, &QPushButton::clicked, this, &FindSensorDialog::stop);
    connect(m_use, &QPushButton::clicked, this, &FindSensorDialog::useChosen);
    connect(m_addAll, &QPushButton::clicked, this, &FindSensorDialog::addAllToOverview);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_table->selectionModel(), &QItemSelectionModel::selectionChanged, this, &FindSensorDialog::refreshButtons);
    // The table taking the keyboard makes its first row current without
    // choosing it; with one sensor found the arrow keys then could not choose
    // it either. The current row is the chosen one.
    connect(m_table->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this](const QModelIndex& row) {
        if (row.isValid() && !m_table->selectionModel()->isRowSelected(row.row()))
            m_table->selectRow(row.row());
    });
    connect(m_table, &QTableView::doubleClicked, this, &FindSensorDialog::useChosen);

    resize(640, 520);
    m_start->setFocus();
}

void FindSensorDialog::fitColumns()
{
    // Each figure's column as wide as its widest value or its title, so that
    // no row coming in is squeezed; the device path takes the rest.
    QHeaderView* header = m_table->horizontalHeader();
    const std::array<std::pair<int, QString>, 5> widest{{
        {FoundSensorModel::PortColumn, QStringLiteral("COM25")},
        {FoundSensorModel::RateColumn, QStringLiteral("19200")},
        {FoundSensorModel::StationColumn, QStringLiteral("247")},
        {FoundSensorModel::TemperatureColumn, hundredthsText(-4000)},
        {FoundSensorModel::HumidityColumn, hundredthsText(10000)},
    }};
    const int padding = 3 * m_table->fontMetrics().horizontalAdvance(QLatin1Char('0'));
    for (const auto& [column, text] : widest) {
        const QString title = m_found.headerData(column, Qt::Horizontal).toString();
        const int width
            = std::max(m_table->fontMetrics().horizontalAdvance(text), header->fontMetrics().horizontalAdvance(title));
        header->resizeSection(column, width + padding);
    }
    header->setSectionResizeMode(FoundSensorModel::DeviceColumn, QHeaderView::Stretch);
}

QWidget* FindSensorDialog::buildPortList()
{
    auto* group = new QGroupBox(tr("串口"), this);
    auto* layout = new QVBoxLayout(group);
    m_portList = new QListWidget(group);
    m_portList->setObjectName(QStringLiteral("portList"));
    // A few ports in view; the sensors found get the room.
    m_portList->setMaximumHeight(m_portList->fontMetrics().lineSpacing() * 6 + 2 * m_portList->frameWidth() + 8);
    for (const PortEntry& port : std::as_const(m_ports)) {
        auto* item = new QListWidgetItem(port.description, m_portList);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Checked);
        item->setData(Qt::UserRole, port.device);
    }
    if (m_ports.isEmpty()) {
        auto* none = new QListWidgetItem(tr("未检测到串口设备"), m_portList);
        none->setFlags(Qt::NoItemFlags);
    }
    connect(m_portList, &QListWidget::itemChanged, this, &FindSensorDialog::refreshButtons);
    layout->addWidget(m_portList);
    return group;
}

QWidget* FindSensorDialog::buildRates()
{
    auto* group = new QGroupBox(tr("波特率"), this);
    auto* layout = new QVBoxLayout(group);
    for (int rate : ShownRates) {
        auto* box = new QCheckBox(QString::number(rate), group);
        box->setObjectName(QStringLiteral("rate%1").arg(rate));
        box->setChecked(true);
        connect(box, &QCheckBox::toggled, this, &FindSensorDialog::refreshButtons);
        layout->addWidget(box);
        m_rates.insert(rate, box);
    }
    layout->addStretch();
    return group;
}

void FindSensorDialog::connectSweep()
{
    connect(&m_sweep, &SensorSweep::trying, this, &FindSensorDialog::showTrying);
    connect(&m_sweep, &SensorSweep::found, this, &FindSensorDialog::showFound);
    connect(&m_sweep, &SensorSweep::finished, this, &FindSensorDialog::showFinished);
    connect(&m_sweep, &SensorSweep::portFailed, this, [this](const QString& device) {
        note(tr("%1 无法打开：%2").arg(portName(device), openFailureText(m_sweep.port())));
    });
    connect(&m_sweep, &SensorSweep::portLost, this, [this](const QString& device) {
        note(tr("%1 在查找中断开：设备出错或已拔出，查找继续其余串口").arg(portName(device)));
    });
    connect(&m_sweep, &SensorSweep::silentPort, this, [this](const QString& device, const QList<int>& rates) {
        QStringList rateTexts;
        for (int rate : rates)
            rateTexts << QString::number(rate);
        note(tr("%1：%2 波特率下均无应答").arg(portName(device), rateTexts.join(QStringLiteral(", "))));
    });
    connect(&m_sweep, &SensorSweep::collision, this, [this](const QString& device, int baudRate, const Outcome&) {
        note(tr("%1：多个传感器同时应答，正在逐个地址扫描").arg(where(device, baudRate)));
    });
    connect(&m_sweep, &SensorSweep::unreadable, this,
        [this](const QString& device, int baudRate, int station, const Outcome& outcome) {
            note(tr("%1 · 站号 %2 的应答无法识别（%3），可能有两个传感器使用同一站号")
                     .arg(where(device, baudRate))
                     .arg(station)
                     .arg(statusCode(outcome)));
        });
}

SweepPlan FindSensorDialog::plan() const
{
    SweepPlan plan;
    for (int row = 0; row < m_portList->count(); ++row) {
        const QListWidgetItem* item = m_portList->item(row);
        if (item->checkState() == Qt::Checked)
            plan.devices << item->data(Qt::UserRole).toString();
    }
    // The sweep's own order, narrowed to the rates ticked.
    plan.baudRates.removeIf([this](int rate) {
        const QCheckBox* box = m_rates.value(rate);
        return !box || !box->isChecked();
    });
    plan.scanWhenSilent = m_scan->isChecked();
    return plan;
}

void FindSensorDialog::start()
{
    const SweepPlan sweepPlan = plan();
    if (m_sweep.running() || sweepPlan.devices.isEmpty() || sweepPlan.baudRates.isEmpty())
        return;
    m_found.clear();
    m_notes->clear();
    m_stoppedByUser = false;
    const int windowPort = m_window.portNumber();
    const ReleasedLine released = m_window.releaseLine();
    if (released.pollingStopped)
        note(tr("已停止主窗口的循环采集：查找期间串口由查找使用。"));
    if (released.portClosed)
        note(tr("主窗口的串口 COM%1 已暂时关闭，查找结束后按原设置重新打开。").arg(windowPort));
    m_progress.begin(sweepPlan);
    m_bar->setRange(0, m_progress.maximum());
    m_bar->setValue(0);
    m_clock.start();
    m_sweep.start(sweepPlan);
    showRunning(true);
    showElapsed();
}

void FindSensorDialog::stop()
{
    if (!m_sweep.running())
        return;
    m_stoppedByUser = true;
    m_sweep.stop(); // finished() follows before this returns
}

void FindSensorDialog::useChosen()
{
    const QModelIndexList rows = m_table->selectionModel()->selectedRows();
    if (rows.isEmpty())
        return;
    const FoundRow chosen = m_found.at(rows.first().row());
    stop();
    accept();
    useFoundSensor(m_window, chosen);
}

void FindSensorDialog::addAllToOverview()
{
    // One batch per port and rate, in the order found.
    QList<std::pair<std::pair<int, int>, QList<std::uint8_t>>> batches;
    for (int row = 0; row < m_found.rowCount(); ++row) {
        const FoundRow& found = m_found.at(row);
        if (found.portNumber < 1)
            continue; // a device no port number stands for
        const std::pair<int, int> line{found.portNumber, found.sensor.baudRate};
        auto batch = std::ranges::find(batches, line, &decltype(batches)::value_type::first);
        if (batch == batches.end())
            batch = batches.insert(batches.end(), {line, {}});
        batch->second << found.sensor.station;
    }
    for (const auto& [line, stations] : batches)
        emit addToOverview(line.first, line.second, stations);
}

void FindSensorDialog::done(int result)
{
    stop();
    QDialog::done(result);
}

void FindSensorDialog::showRunning(bool running)
{
    // The button pressed is disabled now: the one to press next takes the keyboard.
    QPushButton* pressed = running ? m_start : m_stop;
    const bool passFocus = focusWidget() == pressed;
    m_portList->setEnabled(!running);
    for (QCheckBox* box : std::as_const(m_rates))
        box->setEnabled(!running);
    m_scan->setEnabled(!running);
    if (running)
        m_elapsedTicker.start();
    else
        m_elapsedTicker.stop();
    refreshButtons();
    if (passFocus)
        (running ? m_stop : m_start)->setFocus();
}

void FindSensorDialog::refreshButtons()
{
    const bool running = m_sweep.running();
    const SweepPlan sweepPlan = plan();
    m_start->setEnabled(!running && !sweepPlan.devices.isEmpty() && !sweepPlan.baudRates.isEmpty());
    m_stop->setEnabled(running);
    m_use->setEnabled(m_table->selectionModel()->hasSelection());
    m_addAll->setEnabled(!running && m_found.rowCount() > 0);
}

void FindSensorDialog::showTrying(const QString& device, int baudRate, int station)
{
    m_trying->setText(tr("%1 · 站号 %2").arg(where(device, baudRate)).arg(station));
    m_bar->setValue(std::max(m_bar->value(), m_progress.at(device, baudRate, station)));
}

void FindSensorDialog::showFound(const FoundSensor& sensor)
{
    m_found.append({m_portOfDevice.value(sensor.device), sensor});
}

void FindSensorDialog::showFinished(int found, qint64 elapsedMs)
{
    showRunning(false);
    if (m_stoppedByUser) {
        m_trying->setText(tr("已停止，找到 %n 个传感器", nullptr, found));
    } else {
        m_bar->setValue(m_bar->maximum());
        m_trying->setText(found == 0 ? tr("未找到传感器") : tr("找到 %n 个传感器", nullptr, found));
    }
    m_elapsed->setText(tr("用时 %1 秒").arg(secondsText(elapsedMs)));
    const int windowPort = m_window.portNumber();
    const bool gaveBack = m_window.lineHeld();
    const QString problem = m_window.restoreLine();
    if (!problem.isEmpty())
        note(tr("主窗口的串口 COM%1 无法重新打开：%2").arg(windowPort).arg(problem));
    else if (gaveBack)
        note(tr("主窗口的串口 COM%1 已重新打开。").arg(windowPort));
}

void FindSensorDialog::showElapsed()
{
    m_elapsed->setText(tr("用时 %1 秒").arg(secondsText(m_clock.elapsed())));
}

void FindSensorDialog::note(const QString& text)
{
    m_notes->appendPlainText(text);
}

QString FindSensorDialog::portName(const QString& device) const
{
    const int number = m_portOfDevice.value(device);
    return number > 0 ? QStringLiteral("COM%1").arg(number) : device;
}

QString FindSensorDialog::where(const QString& device, int baudRate) const
{
    return QStringLiteral("%1 · %2").arg(portName(device)).arg(baudRate);
}

} // namespace kv
