#include "app/overview/overview_window.h"

#include "app/file_dialog.h"
#include "app/message_box.h"
#include "app/window_settings.h"
#include "protocol/modbus/reply_check.h"
#include "session/station_list.h"

#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QShortcut>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace kv {

namespace {

using enum OverviewWindow::Column;

constexpr int DefaultPeriodMs = 1000;
constexpr int LongestPeriodMs = 3'600'000;
const QList<int> Rates{2400, 4800, 9600, 19200};
constexpr int ListedPorts = 25;

QString degrees(std::optional<double> value)
{
    return value ? QString::number(*value, 'f', 2) : QString();
}

QString range(std::optional<double> low, std::optional<double> high)
{
    return low && high ? QStringLiteral("%1 – %2").arg(degrees(low), degrees(high)) : QString();
}

std::optional<double> hundredths(std::optional<int> value)
{
    return value ? std::optional<double>(*value / 100.0) : std::nullopt;
}

QString outcomeText(const Reading& reading)
{
    switch (reading.status) {
    case OutcomeKind::Ok:
        return OverviewWindow::tr("正常");
    case OutcomeKind::NoReply:
        return OverviewWindow::tr("无应答（等待 %1 ms）").arg(reading.timeout.count());
    case OutcomeKind::Partial:
        return OverviewWindow::tr("应答不完整");
    case OutcomeKind::BadCrc:
        return OverviewWindow::tr("CRC 错误");
    case OutcomeKind::Exception:
        return OverviewWindow::tr("异常 %1：%2")
            .arg(QString::number(reading.check.exceptionCode, 16).rightJustified(2, QLatin1Char('0')).toUpper(),
                exceptionName(reading.check.exceptionCode));
    case OutcomeKind::Unexpected:
        return OverviewWindow::tr("应答与请求不符");
    case OutcomeKind::PortLost:
        return OverviewWindow::tr("串口无法使用");
    }
    return {};
}

QString ageText(const QDateTime& since, const QDateTime& now)
{
    if (!since.isValid())
        return {};
    const qint64 seconds = std::max<qint64>(0, since.secsTo(now));
    return seconds < 120 ? OverviewWindow::tr("%1 秒前").arg(seconds)
                         : OverviewWindow::tr("%1 分钟前").arg(seconds / 60);
}

std::optional<double> readBound(const QString& text, bool& ok)
{
    ok = true;
    if (text.trimmed().isEmpty())
        return std::nullopt;
    const double value = QLocale().toDouble(text.trimmed(), &ok);
    if (!ok)
        ok = false;
    return ok ? std::optional<double>(value) : std::nullopt;
}

QString boundText(std::optional<double> bound)
{
    return bound ? QString::number(*bound) : QString();
}

} // namespace

OverviewWindow::OverviewWindow(OverviewLines::SharedQueue sharedQueue, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_lines(std::move(sharedQueue))
{
    setObjectName(QStringLiteral("OverviewWindow"));
    setWindowTitle(tr("传感器总览"));
    build();
    connect(&m_poller, &RoundRobinPoller::reading, this, &OverviewWindow::takeReading);
    m_ageTimer.setInterval(1000);
    connect(&m_ageTimer, &QTimer::timeout, this, &OverviewWindow::refreshAges);
    m_ageTimer.start();
    restore();
}

OverviewWindow::~OverviewWindow()
{
    m_poller.stop();
}

void OverviewWindow::build()
{
    auto* add = new QPushButton(tr("添加…"), this);
    add->setObjectName(QStringLiteral("cmdOverviewAdd"));
    auto* remove = new QPushButton(tr("移除"), this);
    remove->setObjectName(QStringLiteral("cmdOverviewRemove"));
    auto* limits = new QPushButton(tr("限值…"), this);
    limits->setObjectName(QStringLiteral("cmdOverviewLimits"));
    m_start = new QPushButton(tr("开始"), this);
    m_start->setObjectName(QStringLiteral("cmdOverviewStart"));
    m_stop = new QPushButton(tr("停止"), this);
    m_stop->setObjectName(QStringLiteral("cmdOverviewStop"));
    m_stop->setEnabled(false);
    auto* exportButton = new QPushButton(tr("导出…"), this);
    exportButton->setObjectName(QStringLiteral("cmdOverviewExport"));
    auto* importButton = new QPushButton(tr("导入…"), this);
    importButton->setObjectName(QStringLiteral("cmdOverviewImport"));
    m_period = new QLineEdit(QString::number(DefaultPeriodMs), this);
    m_period->setObjectName(QStringLiteral("txtOverviewPeriod"));
    m_period->setMaximumWidth(80);
    auto* periodLabel = new QLabel(tr("周期 (ms)"), this);
    periodLabel->setBuddy(m_period);

    auto* buttons = new QHBoxLayout;
    for (QWidget* widget : std::initializer_list<QWidget*>{add, remove, limits, periodLabel, m_period, m_start, m_stop})
        buttons->addWidget(widget);
    buttons->addStretch();
    buttons->addWidget(exportButton);
    buttons->addWidget(importButton);

    m_table = new QTableWidget(0, Columns, this);
    m_table->setObjectName(QStringLiteral("tblOverview"));
    m_table->setHorizontalHeaderLabels({tr("名称"), tr("线路"), tr("站号"), tr("温度 (℃)"), tr("湿度 (%RH)"),
        tr("最后结果"), tr("读数时间"), tr("温度范围"), tr("湿度范围"), tr("正常率"), tr("超限")});
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    m_table->verticalHeader()->setVisible(false);
    m_table->horizontalHeader()->setStretchLastSection(true);
    // Wide enough for what each column holds, in either language.
    const int widths[Columns] = {120, 70, 50, 116, 124, 210, 90, 120, 120, 90, 84};
    for (int column = 0; column < Columns; ++column)
        m_table->setColumnWidth(column, widths[column]);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(m_table);
    resize(1240, 380);

    connect(add, &QPushButton::clicked, this, &OverviewWindow::askToAdd);
    connect(remove, &QPushButton::clicked, this, &OverviewWindow::removeChosen);
    connect(limits, &QPushButton::clicked, this, &OverviewWindow::askForLimits);
    connect(m_start, &QPushButton::clicked, this, &OverviewWindow::start);
    connect(m_stop, &QPushButton::clicked, this, &OverviewWindow::stop);
    connect(exportButton, &QPushButton::clicked, this, &OverviewWindow::exportList);
    connect(importButton, &QPushButton::clicked, this, &OverviewWindow::importList);
    connect(m_table, &QTableWidget::cellChanged, this, &OverviewWindow::nameEdited);
    auto* deleteKey = new QShortcut(QKeySequence::Delete, m_table);
    connect(deleteKey, &QShortcut::activated, this, &OverviewWindow::removeChosen);
}

void OverviewWindow::addSensors(int port, int baudRate, const QList<std::uint8_t>& stations)
{
    for (std::uint8_t station : stations) {
        const bool listed = std::ranges::any_of(
            m_sensors, [&](const OverviewSensor& s) { return s.port == port && s.station == station; });
        if (listed)
            continue;
        OverviewSensor sensor;
        sensor.name = OverviewSensor::defaultName(port, station);
        sensor.port = port;
        sensor.baudRate = baudRate;
        sensor.station = station;
        m_sensors << sensor;
    }
    showAllRows();
    save();
    if (m_poller.running()) { // the new rows join the next round
        stop();
        start();
    }
}

void OverviewWindow::askToAdd()
{
    QDialog dialog(this);
    dialog.setObjectName(QStringLiteral("dlgOverviewAdd"));
    dialog.setWindowTitle(tr("添加传感器"));
    auto* port = new QComboBox(&dialog);
    port->setObjectName(QStringLiteral("cboAddPort"));
    for (int number = 1; number <= ListedPorts; ++number)
        port->addItem(QStringLiteral("COM%1").arg(number), number);
    auto* rate = new QComboBox(&dialog);
    rate->setObjectName(QStringLiteral("cboAddRate"));
    for (int value : Rates)
        rate->addItem(QString::number(value), value);
    rate->setCurrentIndex(Rates.indexOf(9600));
    auto* stations = new QLineEdit(QStringLiteral("1"), &dialog);
    stations->setObjectName(QStringLiteral("txtAddStations"));
    stations->setToolTip(tr("站号列表，例如 1,3,5-9（1 到 247）"));
    auto* form = new QFormLayout(&dialog);
    form->addRow(tr("线路"), port);
    form->addRow(tr("波特率"), rate);
    form->addRow(tr("站号"), stations);
    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    form->addRow(box);
    connect(box, &QDialogButtonBox::accepted, &dialog, [&] {
        StationListProblem problem;
        const std::optional<QList<std::uint8_t>> list
            = parseStationList(stations->text().remove(QLatin1Char(' ')), problem);
        if (!list) {
            MessageBox::show(problem.kind == StationListProblem::Kind::NotAStation
                    ? tr("“%1”不是站号：站号为 1 到 247。").arg(problem.item)
                    : tr("“%1”不是站号范围：请写成“起-止”，1 到 247。").arg(problem.item));
            return;
        }
        addSensors(port->currentData().toInt(), rate->currentData().toInt(), *list);
        dialog.accept();
    });
    connect(box, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    dialog.exec();
}

QList<int> OverviewWindow::chosenRows() const
{
    QList<int> rows;
    for (const QModelIndex& index : m_table->selectionModel()->selectedRows())
        rows << index.row();
    std::ranges::sort(rows);
    return rows;
}

void OverviewWindow::removeChosen()
{
    const QList<int> rows = chosenRows();
    if (rows.isEmpty())
        return;
    const bool wasPolling = m_poller.running();
    if (wasPolling)
        stop();
    for (auto it = rows.crbegin(); it != rows.crend(); ++it)
        m_sensors.removeAt(*it);
    showAllRows();
    save();
    if (wasPolling && !m_sensors.isEmpty())
        start();
}

void OverviewWindow::askForLimits()
{
    const QList<int> rows = chosenRows();
    if (rows.isEmpty()) {
        MessageBox::show(tr("请先选择要设置限值的传感器。"));
        return;
    }
    const SensorLimits current = m_sensors[rows.first()].limits;
    QDialog dialog(this);
    dialog.setObjectName(QStringLiteral("dlgOverviewLimits"));
    dialog.setWindowTitle(tr("限值"));
    auto edit = [&](const char* name, std::optional<double> bound) {
        auto* line = new QLineEdit(boundText(bound), &dialog);
        line->setObjectName(QLatin1String(name));
        return line;
    };
    QLineEdit* tLow = edit("txtTemperatureLow", current.temperatureLow);
    QLineEdit* tHigh = edit("txtTemperatureHigh", current.temperatureHigh);
    QLineEdit* hLow = edit("txtHumidityLow", current.humidityLow);
    QLineEdit* hHigh = edit("txtHumidityHigh", current.humidityHigh);
    auto* form = new QFormLayout(&dialog);
    form->addRow(tr("温度下限 (℃)"), tLow);
    form->addRow(tr("温度上限 (℃)"), tHigh);
    form->addRow(tr("湿度下限 (%RH)"), hLow);
    form->addRow(tr("湿度上限 (%RH)"), hHigh);
    form->addRow(new QLabel(tr("空着的限值不检查；设置用于选中的 %1 个传感器。").arg(rows.size()), &dialog));
    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    form->addRow(box);
    connect(box, &QDialogButtonBox::accepted, &dialog, [&] {
        bool ok[4];
        const SensorLimits limits{readBound(tLow->text(), ok[0]), readBound(tHigh->text(), ok[1]),
            readBound(hLow->text(), ok[2]), readBound(hHigh->text(), ok[3])};
        if (!std::ranges::all_of(ok, [](bool b) { return b; })) {
            MessageBox::show(tr("限值应为数字，或空着。"));
            return;
        }
        for (int row : rows) {
            m_sensors[row].limits = limits;
            m_sensors[row].breachSince = {};
            showRow(row);
        }
        save();
        dialog.accept();
    });
    connect(box, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    dialog.exec();
}

void OverviewWindow::start()
{
    if (m_poller.running() || m_sensors.isEmpty())
        return;
    bool ok = false;
    const int period = m_period->text().trimmed().toInt(&ok);
    // The line of each sensor is looked for anew at every request: the
    // window's own port is shared only while the window is on it, and a row
    // of another port is never read through the window's line.
    QList<PolledSensor> polled;
    m_polled.clear();
    for (int index = 0; index < m_sensors.size(); ++index) {
        const OverviewSensor& sensor = m_sensors[index];
        const int port = sensor.port, rate = sensor.baudRate;
        polled << PolledSensor{[this, port, rate] { return m_lines.queueFor(port, rate); }, sensor.station};
        m_polled << index;
    }
    const std::chrono::milliseconds shortest = RoundRobinPoller::shortestPeriod(polled);
    if (!ok || period < shortest.count() || period > LongestPeriodMs) {
        MessageBox::show(tr("周期应为 %1 到 %2 ms：这 %3 个传感器在线路上一轮至少需要 %1 ms。")
                             .arg(shortest.count())
                             .arg(LongestPeriodMs)
                             .arg(polled.size()));
        return;
    }
    m_poller.setSensors(polled);
    m_poller.start(std::chrono::milliseconds(period));
    m_start->setEnabled(false);
    m_stop->setEnabled(true);
    save();
}

void OverviewWindow::stop()
{
    m_poller.stop();
    m_start->setEnabled(true);
    m_stop->setEnabled(false);
}

void OverviewWindow::takeReading(int index, const Reading& reading)
{
    if (index < 0 || index >= m_polled.size() || m_polled[index] >= m_sensors.size())
        return;
    const int row = m_polled[index];
    m_sensors[row].take(reading);
    showRow(row);
    emit readingTaken(reading, QStringLiteral("COM%1").arg(m_sensors[row].port));
}

void OverviewWindow::nameEdited(int row, int column)
{
    if (m_showing || column != Name || row < 0 || row >= m_sensors.size())
        return;
    const QString name = m_table->item(row, column)->text().trimmed();
    m_sensors[row].name
        = name.isEmpty() ? OverviewSensor::defaultName(m_sensors[row].port, m_sensors[row].station) : name;
    save();
}

void OverviewWindow::showAllRows()
{
    m_showing = true;
    m_table->setRowCount(static_cast<int>(m_sensors.size()));
    m_showing = false;
    for (int row = 0; row < m_sensors.size(); ++row)
        showRow(row);
}

void OverviewWindow::showRow(int row)
{
    const OverviewSensor& sensor = m_sensors[row];
    const QDateTime now = QDateTime::currentDateTime();
    const bool failing = sensor.silent();
    const bool breached = sensor.breachSince.isValid();
    QString outcome = sensor.last ? outcomeText(*sensor.last) : QString();
    if (breached && !failing)
        outcome = tr("超出限值（自 %1 起）").arg(sensor.breachSince.toString(QStringLiteral("HH:mm:ss")));
    const bool sound = sensor.last && sensor.last->ok();
    const QStringList texts{sensor.name, QStringLiteral("COM%1").arg(sensor.port), QString::number(sensor.station),
        sound ? degrees(hundredths(sensor.last->values.temperature)) : QString(),
        sound ? degrees(hundredths(sensor.last->values.humidity)) : QString(), outcome, ageText(sensor.lastSound, now),
        range(sensor.minTemperature, sensor.maxTemperature), range(sensor.minHumidity, sensor.maxHumidity),
        sensor.exchanges > 0 ? QStringLiteral("%1 %").arg(100.0 * sensor.sound / sensor.exchanges, 0, 'f', 1)
                             : QString(),
        QString::number(sensor.breaches)};
    m_showing = true;
    for (int column = 0; column < Columns; ++column) {
        QTableWidgetItem* item = m_table->item(row, column);
        if (!item) {
            item = new QTableWidgetItem;
            if (column != Name)
                item->setFlags(item->flags() & ~Qt::ItemIsEditable);
            m_table->setItem(row, column, item);
        }
        if (item->text() != texts[column])
            item->setText(texts[column]);
        const bool red = failing || (breached && (column == Temperature || column == Humidity || column == Result));
        item->setForeground(red ? QColor(200, 0, 0) : m_table->palette().color(QPalette::Text));
    }
    m_showing = false;
}

void OverviewWindow::refreshAges()
{
    if (!isVisible())
        return;
    const QDateTime now = QDateTime::currentDateTime();
    m_showing = true;
    for (int row = 0; row < m_sensors.size(); ++row) {
        if (QTableWidgetItem* item = m_table->item(row, Age))
            item->setText(ageText(m_sensors[row].lastSound, now));
    }
    m_showing = false;
}

void OverviewWindow::exportList()
{
    const QString path
        = FileDialog::askSaveFile({this, tr("导出传感器列表"), {}, {tr("传感器列表 (*.json)")}, QStringLiteral("json")})
              .path;
    if (path.isEmpty())
        return;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(overviewFileText(m_sensors)) < 0 || !file.commit())
        MessageBox::show(tr("无法写入“%1”：%2").arg(path, file.errorString()));
}

void OverviewWindow::importList()
{
    FileDialog::SaveQuestion question{this, tr("导入传感器列表"), {}, {tr("传感器列表 (*.json)")}, {}};
    question.opens = true;
    const QString path = FileDialog::askSaveFile(question).path;
    if (path.isEmpty())
        return;
    QFile file(path);
    std::optional<QList<OverviewSensor>> sensors;
    if (file.open(QIODevice::ReadOnly))
        sensors = readOverviewFile(file.read(1 << 20));
    if (!sensors) {
        MessageBox::show(tr("“%1”不是传感器列表。").arg(path));
        return;
    }
    stop();
    m_sensors = *sensors;
    showAllRows();
    save();
}

void OverviewWindow::save() const
{
    QSettings settings = windowSettings();
    settings.setValue(QStringLiteral("overview/sensors"), overviewFileText(m_sensors));
    settings.setValue(QStringLiteral("overview/periodMs"), m_period->text().trimmed());
}

void OverviewWindow::restore()
{
    QSettings settings = windowSettings();
    if (const auto kept = readOverviewFile(settings.value(QStringLiteral("overview/sensors")).toByteArray()))
        m_sensors = *kept;
    const QString period = settings.value(QStringLiteral("overview/periodMs")).toString();
    if (!period.isEmpty())
        m_period->setText(period);
    showAllRows();
}

} // namespace kv
