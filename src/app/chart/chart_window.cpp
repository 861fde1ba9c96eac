#include "app/chart/chart_window.h"

#include "app/chart/reading_age.h"
#include "app/chart/reading_chart.h"
#include "app/chart/span_figures.h"
#include "app/file_dialog.h"
#include "app/problem_line.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace kv {

namespace {

constexpr int RedrawGatherMs = 200;
constexpr int AgeTickMs = 250;

// The name a new file is offered under: the tool and the moment.
QString suggestedName(const char* kind, const char* suffix)
{
    return QStringLiteral("kv9240b-%1-%2.%3")
        .arg(QLatin1String(kind), QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")),
            QLatin1String(suffix));
}

QPushButton* button(const QString& text, const char* objectName, QWidget* parent)
{
    auto* made = new QPushButton(text, parent);
    made->setObjectName(QString::fromLatin1(objectName));
    return made;
}

} // namespace

ChartWindow::ChartWindow(const ReadingHistory& history, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_history(history)
    , m_problem(new ProblemLine(this))
    , m_chart(new ReadingChart(history, this))
    , m_temperature(new SpanFigures(tr("温度 (°C)"), this))
    , m_humidity(new SpanFigures(tr("湿度 (%RH)"), this))
{
    setObjectName(QStringLiteral("ChartWindow"));
    setWindowTitle(tr("记录与曲线"));
    resize(980, 580);

    auto* chartColumn = new QVBoxLayout;
    chartColumn->addWidget(m_problem);
    chartColumn->addWidget(m_chart, 1);
    chartColumn->addWidget(buildButtonRow());
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(chartColumn, 1);
    layout->addWidget(buildSidePanel());

    m_redrawTimer.setSingleShot(true);
    m_redrawTimer.setInterval(RedrawGatherMs);
    connect(&m_redrawTimer, &QTimer::timeout, this, &ChartWindow::redraw);
    m_ageTimer.setInterval(AgeTickMs);
    connect(&m_ageTimer, &QTimer::timeout, this, &ChartWindow::showReadingAge);

    connect(m_chart, &ReadingChart::shownSpanChanged, this, &ChartWindow::showSpanFigures);
    connect(m_chart, &ReadingChart::followingChanged, this, [this](bool following) {
        const QSignalBlocker quiet(m_follow);
        m_follow->setChecked(following);
    });
    connect(m_temperature, &SpanFigures::curveShownChanged, this,
        [this](bool shown) { m_chart->setQuantityShown(Quantity::Temperature, shown); });
    connect(m_humidity, &SpanFigures::curveShownChanged, this,
        [this](bool shown) { m_chart->setQuantityShown(Quantity::Humidity, shown); });
    connect(&m_recorder, &ReadingRecorder::rowWritten, this, &ChartWindow::showRecordingState);
    connect(&m_recorder, &ReadingRecorder::failed, this, &ChartWindow::recordingFailed);

    showSpanFigures();
    showReadingAge();
    showRecordingState();
}

ChartWindow::~ChartWindow() = default;

QWidget* ChartWindow::buildButtonRow()
{
    auto* row = new QWidget(this);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* showAll = button(tr("全部"), "showAll", row);
    showAll->setToolTip(tr("显示整个记录过程，并随新读数延伸"));
    m_follow = new QCheckBox(tr("跟随最新"), row);
    m_follow->setObjectName(QStringLiteral("follow"));
    m_follow->setChecked(m_chart->isFollowing());
    m_follow->setToolTip(tr("滚轮缩放或拖动时间轴后不再跟随"));
    auto* exportImage = button(tr("导出图片…"), "exportImage", row);
    layout->addWidget(showAll);
    layout->addWidget(m_follow);
    layout->addStretch(1);
    layout->addWidget(exportImage);

    connect(showAll, &QPushButton::clicked, m_chart, &ReadingChart::showWholeRun);
    connect(m_follow, &QCheckBox::toggled, m_chart, &ReadingChart::setFollowing);
    connect(exportImage, &QPushButton::clicked, this, &ChartWindow::exportImage);
    return row;
}

QWidget* ChartWindow::buildSidePanel()
{
    auto* panel = new QWidget(this);
    panel->setFixedWidth(230);
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(buildSensorChoice());
    m_temperature->setObjectName(QStringLiteral("temperatureFigures"));
    m_humidity->setObjectName(QStringLiteral("humidityFigures"));
    layout->addWidget(m_temperature);
    layout->addWidget(m_humidity);

    auto* ageRow = new QHBoxLayout;
    ageRow->addWidget(new QLabel(tr("距上次读数："), panel));
    m_readingAge = new QLabel(panel);
    m_readingAge->setObjectName(QStringLiteral("readingAge"));
    QFont bold = m_readingAge->font();
    bold.setBold(true);
    m_readingAge->setFont(bold);
    ageRow->addWidget(m_readingAge, 1);
    layout->addLayout(ageRow);

    auto* recording = new QGroupBox(tr("记录到文件"), panel);
    auto* recordingLayout = new QVBoxLayout(recording);
    auto* buttons = new QHBoxLayout;
    m_startRecording = button(tr("开始记录…"), "startRecording", recording);
    m_stopRecording = button(tr("停止记录"), "stopRecording", recording);
    buttons->addWidget(m_startRecording);
    buttons->addWidget(m_stopRecording);
    recordingLayout->addLayout(buttons);
    m_recordingState = new QLabel(recording);
    m_recordingState->setObjectName(QStringLiteral("recordingState"));
    m_recordingState->setWordWrap(true);
    recordingLayout->addWidget(m_recordingState);
    layout->addWidget(recording);
    layout->addStretch(1);

    connect(m_startRecording, &QPushButton::clicked, this, &ChartWindow::startRecording);
    connect(m_stopRecording, &QPushButton::clicked, this, &ChartWindow::stopRecording);
    return panel;
}

QWidget* ChartWindow::buildSensorChoice()
{
    auto* row = new QWidget(this);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* caption = new QLabel(tr("传感器："), row);
    m_sensor = new QComboBox(row);
    m_sensor->setObjectName(QStringLiteral("sensor"));
    m_sensor->setToolTip(tr("旁边的数字属于这个传感器"));
    caption->setBuddy(m_sensor);
    layout->addWidget(caption);
    layout->addWidget(m_sensor, 1);
    for (const SensorReadings& sensor : m_history.sensors())
        addSensor(sensor.id());
    followNewestSensor();

    connect(m_chart, &ReadingChart::sensorAdded, this, &ChartWindow::addSensor);
    connect(m_sensor, &QComboBox::activated, this, [this] { m_sensorPicked = true; });
    connect(m_sensor, &QComboBox::currentIndexChanged, this, &ChartWindow::showSpanFigures);
    return row;
}

void ChartWindow::addSensor(const SensorId& sensor)
{
    m_sensor->addItem(ReadingChart::sensorName(sensor));
}

void ChartWindow::followNewestSensor()
{
    const SensorReadings* newest = m_history.newestSensor();
    if (m_sensorPicked || !newest)
        return;
    const auto& sensors = m_history.sensors();
    for (std::size_t index = 0; index < sensors.size(); ++index) {
        if (&sensors[index] == newest && static_cast<int>(index) < m_sensor->count())
            m_sensor->setCurrentIndex(static_cast<int>(index));
    }
}

const SensorReadings* ChartWindow::chosenSensor() const
{
    const int index = m_sensor->currentIndex();
    if (index < 0 || index >= static_cast<int>(m_history.sensors().size()))
        return nullptr;
    return &m_history.sensors()[static_cast<std::size_t>(index)];
}

void ChartWindow::setPollingPeriod(std::chrono::milliseconds period)
{
    m_period = period;
    showReadingAge();
}

void ChartWindow::readingAdded(const Reading& reading)
{
    if (reading.ok())
        m_sinceLastReading.restart();
    if (reading.ok())
        m_recorder.record(reading);
    if (isVisible() && !m_redrawTimer.isActive())
        m_redrawTimer.start();
}

void ChartWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    m_ageTimer.start();
    redraw(); // what came while it was hidden
}

void ChartWindow::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    m_ageTimer.stop();
    m_redrawTimer.stop();
}

void ChartWindow::redraw()
{
    m_chart->refresh();
    followNewestSensor();
    showReadingAge();
}

void ChartWindow::showSpanFigures()
{
    const SensorReadings* sensor = chosenSensor();
    if (!sensor) {
        m_temperature->setFigures({});
        m_humidity->setFigures({});
        return;
    }
    const qint64 from = m_chart->shownFromMs();
    const qint64 to = m_chart->shownToMs();
    m_temperature->setFigures(sensor->statistics(Quantity::Temperature, from, to));
    m_humidity->setFigures(sensor->statistics(Quantity::Humidity, from, to));
}

void ChartWindow::showReadingAge()
{
    const std::optional<qint64> last = m_history.lastTimeMs();
    if (!last) {
        m_readingAge->setText(tr("尚无读数"));
        m_readingAge->setPalette(palette());
        return;
    }
    // A reading that came while the window was there is timed on the steady
    // clock; one from before it opened only has the time it was taken.
    const qint64 ageMs = m_sinceLastReading.isValid()
        ? m_sinceLastReading.elapsed()
        : std::max<qint64>(0, QDateTime::currentMSecsSinceEpoch() - *last);
    m_readingAge->setText(readingAgeText(ageMs));
    QPalette colours = palette();
    if (isReadingOld(ageMs, m_period))
        colours.setColor(QPalette::WindowText, Qt::red);
    m_readingAge->setPalette(colours);
}

void ChartWindow::startRecording()
{
    const QString file = FileDialog::askSaveFile(
        {this, tr("开始记录"), suggestedName("readings", "csv"), {tr("CSV 文件 (*.csv)")}, QStringLiteral("csv"), true})
                             .path;
    if (file.isEmpty())
        return;
    m_recorder.start(file); // a failure comes as failed()
    showRecordingState();
}

void ChartWindow::stopRecording()
{
    m_recorder.stop();
    showRecordingState();
}

void ChartWindow::recordingFailed(RecordFailure failure, const QString& detail)
{
    showRecordingState();
    const QString file = QDir::toNativeSeparators(m_recorder.path());
    QString text;
    switch (failure) {
    case RecordFailure::CannotOpen:
        text = tr("无法打开记录文件“%1”，记录未开始。").arg(file);
        break;
    case RecordFailure::NotARecording:
        text = tr("文件“%1”中已有其他内容，不是记录文件。为免损坏该文件，记录未开始。").arg(file);
        break;
    case RecordFailure::WriteFailed:
        text = tr("写入记录文件“%1”失败（磁盘可能已满），记录已停止。").arg(file);
        break;
    case RecordFailure::FileGone:
        text = tr("记录文件“%1”已被删除或改名，记录已停止。").arg(file);
        break;
    }
    m_problem->say(text, detail);
}

void ChartWindow::showRecordingState()
{
    const bool recording = m_recorder.isRecording();
    m_startRecording->setEnabled(!recording);
    m_stopRecording->setEnabled(recording);
    if (!recording) {
        m_recordingState->setText(tr("未在记录"));
        m_recordingState->setToolTip({});
        return;
    }
    m_recordingState->setText(
        tr("正在记录 %1\n已写 %2 行").arg(QFileInfo(m_recorder.path()).fileName()).arg(m_recorder.rowsWritten()));
    m_recordingState->setToolTip(QDir::toNativeSeparators(m_recorder.path()));
}

void ChartWindow::exportImage()
{
    const QString file = FileDialog::askSaveFile(
        {this, tr("导出图片"), suggestedName("chart", "png"), {tr("PNG 图片 (*.png)")}, QStringLiteral("png")})
                             .path;
    if (file.isEmpty())
        return;
    m_chart->refresh();
    if (!m_chart->savePng(file))
        m_problem->say(tr("无法保存图片“%1”。").arg(QDir::toNativeSeparators(file)));
}

} // namespace kv
