#include "app/traffic_log/traffic_log_window.h"

#include "app/file_dialog.h"
#include "app/problem_line.h"
#include "app/traffic_log/log_file.h"
#include "app/traffic_log/log_item_delegate.h"
#include "app/traffic_log/statistics_text.h"
#include "session/traffic_recorder.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QStandardPaths>
#include <QStatusBar>
#include <QStyle>
#include <QTableView>
#include <QToolBar>
#include <QVBoxLayout>

#include <algorithm>

namespace kv {

TrafficLogWindow::TrafficLogWindow(TrafficRecorder& recorder, QWidget* parent)
    : QMainWindow(parent)
    , m_recorder(recorder)
    , m_log(recorder)
{
    setObjectName(QStringLiteral("TrafficLogWindow"));
    setWindowFlag(Qt::Window);
    setWindowTitle(tr("通信记录"));
    m_saveDirectory = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(6, 6, 6, 0);
    auto* figures = new QHBoxLayout;
    m_statistics = new TextLine(central, 2);
    m_statistics->setObjectName(QStringLiteral("statistics"));
    m_resetStatistics = new QPushButton(tr("重置"), central);
    m_resetStatistics->setObjectName(QStringLiteral("resetStatistics"));
    m_resetStatistics->setToolTip(tr("统计从零开始，记录保留"));
    figures->addWidget(m_statistics, 1);
    figures->addWidget(m_resetStatistics);
    layout->addLayout(figures);
    m_saveProblem = new ProblemLine(central);
    layout->addWidget(m_saveProblem);
    m_table = new LogTableView(central);
    m_table->setObjectName(QStringLiteral("trafficTable"));
    layout->addWidget(m_table, 1);
    setCentralWidget(central);
    m_status = new TextLine(this);
    m_status->setObjectName(QStringLiteral("logStatus"));
    statusBar()->addWidget(m_status, 1);

    buildTable();
    buildTools();

    connect(m_resetStatistics, &QPushButton::clicked, this, [this] {
        m_recorder.resetStatistics();
        refreshStatistics();
    });
    connect(&m_recorder, &TrafficRecorder::statisticsChanged, this, [this] { m_statisticsStale = true; });
    connect(&m_recorder, &TrafficRecorder::cleared, this, &TrafficLogWindow::refreshStatus);
    connect(&m_log, &TrafficLogModel::aboutToCatchUp, this, [this] {
        const QScrollBar* bar = m_table->verticalScrollBar();
        m_following = bar->value() >= bar->maximum();
        // Narrowed, rows come and go anywhere: the table repaints as usual.
        if (!narrowed())
            m_table->beginBatch();
    });
    connect(&m_log, &TrafficLogModel::caughtUp, this, [this](int removedAtTop, int appended) {
        const bool follow = m_following && !m_log.isPaused();
        if (!narrowed())
            m_table->endBatch(removedAtTop, appended, follow);
        else if (follow)
            m_table->scrollToBottom();
        refreshSoon();
    });
    m_refresh.setSingleShot(true);
    m_refresh.setInterval(FiguresInterval);
    connect(&m_refresh, &QTimer::timeout, this, [this] {
        if (m_statisticsStale)
            refreshStatistics();
        refreshStatus();
    });
    refreshStatistics();
    refreshStatus();
    resize(1180, 600);
}

void TrafficLogWindow::buildTable()
{
    m_table->setModel(&m_log);
    m_table->setItemDelegate(new LogItemDelegate(m_table));
    m_table->setToolTip(TrafficLogModel::timingNote());
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setWordWrap(false);
    m_table->setShowGrid(false);
    m_table->setCornerButtonEnabled(false);
    // The table would copy the current cell alone: the log copies whole rows.
    m_table->installEventFilter(this);
    // Every row one line high, fixed: a hundred thousand rows scroll without
    // a row ever being measured.
    QHeaderView* rows = m_table->verticalHeader();
    rows->setDefaultSectionSize(fontMetrics().height() + 4);
    rows->hide();
    QHeaderView* columns = m_table->horizontalHeader();
    columns->setSectionResizeMode(QHeaderView::Interactive);
    columns->setStretchLastSection(true);
    columns->setHighlightSections(false);
    const QFontMetrics metrics = fontMetrics();
    const auto width = [&metrics](const QString& sample) { return metrics.horizontalAdvance(sample) + 16; };
    m_table->setColumnWidth(static_cast<int>(LogColumn::Time), width(QStringLiteral("00:00:00.000")));
    m_table->setColumnWidth(static_cast<int>(LogColumn::Delta), width(QStringLiteral("00000.0")));
    m_table->setColumnWidth(static_cast<int>(LogColumn::Direction), width(tr("方向")) + 8);
    m_table->setColumnWidth(static_cast<int>(LogColumn::Length), width(tr("长度")));
    // A whole 15-byte answer fits; longer frames end in an ellipsis.
    const QFontMetrics hex(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_table->setColumnWidth(static_cast<int>(LogColumn::Hex), hex.horizontalAdvance(QString(15 * 3, u'0')) + 12);
    m_table->setColumnWidth(static_cast<int>(LogColumn::Verdict), 170);
}

void TrafficLogWindow::buildTools()
{
    QToolBar* tools = addToolBar(tr("工具"));
    tools->setObjectName(QStringLiteral("logTools"));
    tools->setMovable(false);
    tools->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);

    m_pause = tools->addAction(style()->standardIcon(QStyle::SP_MediaPause), tr("暂停"));
    m_pause->setObjectName(QStringLiteral("actionPause"));
    m_pause->setCheckable(true);
    m_pause->setToolTip(tr("暂停显示；通信照常记录和统计，继续时补上"));
    connect(m_pause, &QAction::toggled, this, &TrafficLogWindow::setPaused);

    QAction* clear = tools->addAction(style()->standardIcon(QStyle::SP_DialogResetButton), tr("清除"));
    clear->setObjectName(QStringLiteral("actionClear"));
    clear->setToolTip(tr("清空记录；统计保留"));
    connect(clear, &QAction::triggered, this, [this] { m_recorder.clear(); });

    m_problemsOnly = tools->addAction(style()->standardIcon(QStyle::SP_MessageBoxWarning), tr("只看问题"));
    m_problemsOnly->setObjectName(QStringLiteral("actionProblemsOnly"));
    m_problemsOnly->setCheckable(true);
    m_problemsOnly->setToolTip(tr("只显示有问题的帧和它们所应答的请求"));
    connect(m_problemsOnly, &QAction::toggled, this, &TrafficLogWindow::showProblemsOnly);

    QAction* copy = tools->addAction(tr("复制"));
    copy->setObjectName(QStringLiteral("actionCopy"));
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    addAction(copy); // the shortcut works wherever the focus is in the window
    copy->setToolTip(tr("将选中的行作为文本复制"));
    connect(copy, &QAction::triggered, this, &TrafficLogWindow::copySelectedRows);

    QAction* save = tools->addAction(style()->standardIcon(QStyle::SP_DialogSaveButton), tr("保存…"));
    save->setObjectName(QStringLiteral("actionSave"));
    save->setShortcut(QKeySequence::Save);
    save->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    addAction(save);
    save->setToolTip(tr("将整个记录保存为 CSV 或文本文件"));
    connect(save, &QAction::triggered, this, &TrafficLogWindow::saveLog);
}

void TrafficLogWindow::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!m_shownOnce) {
        // Opened late, the log starts at its newest row.
        m_shownOnce = true;
        QMetaObject::invokeMethod(m_table, &QTableView::scrollToBottom, Qt::QueuedConnection);
    }
}

bool TrafficLogWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_table && event->type() == QEvent::KeyPress
        && static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy)) {
        copySelectedRows();
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void TrafficLogWindow::setPaused(bool paused)
{
    m_pause->setText(paused ? tr("继续") : tr("暂停"));
    m_pause->setIcon(style()->standardIcon(paused ? QStyle::SP_MediaPlay : QStyle::SP_MediaPause));
    m_log.setPaused(paused);
    refreshStatus();
}

void TrafficLogWindow::showProblemsOnly(bool only)
{
    // The narrowed view follows the log only while it is looked at.
    m_problems.setLog(only ? &m_log : nullptr);
    m_table->setModel(only ? static_cast<QAbstractItemModel*>(&m_problems) : &m_log);
    m_table->scrollToBottom();
    refreshStatus();
}

bool TrafficLogWindow::narrowed() const
{
    return m_table->model() == &m_problems;
}

int TrafficLogWindow::logRow(int shownRow) const
{
    if (narrowed())
        return m_problems.mapToSource(m_problems.index(shownRow, 0)).row();
    return shownRow;
}

QString TrafficLogWindow::selectedRowsText() const
{
    QList<int> rows;
    for (const QModelIndex& index : m_table->selectionModel()->selectedRows())
        rows << index.row();
    std::sort(rows.begin(), rows.end());
    QString text;
    for (int row : rows) {
        if (const TrafficFrame* frame = m_log.frameAt(logRow(row)))
            text += textLine(*frame) + QLatin1Char('\n');
    }
    return text;
}

void TrafficLogWindow::copySelectedRows()
{
    const QString text = selectedRowsText();
    if (!text.isEmpty())
        QApplication::clipboard()->setText(text);
}

void TrafficLogWindow::saveLog()
{
    const QString csv = tr("CSV 文件 (*.csv)");
    const QString plain = tr("文本文件 (*.txt)");
    const QString suggested
        = QDir(m_saveDirectory)
              .filePath(
                  tr("通信记录-%1.csv").arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"))));
    const FileDialog::SaveAnswer answer
        = FileDialog::askSaveFile({this, tr("保存通信记录"), suggested, {csv, plain}, {}, false});
    if (answer.path.isEmpty())
        return;
    QString path = answer.path;
    const QString suffix = QFileInfo(path).suffix().toLower();
    // The name decides the format; a name without .csv or .txt gets the one
    // of the filter chosen.
    LogFileFormat format = LogFileFormat::Csv;
    if (suffix == QLatin1String("txt")) {
        format = LogFileFormat::Text;
    } else if (suffix != QLatin1String("csv")) {
        format = answer.filter == plain ? LogFileFormat::Text : LogFileFormat::Csv;
        path += format == LogFileFormat::Text ? QStringLiteral(".txt") : QStringLiteral(".csv");
    }

    QApplication::setOverrideCursor(Qt::WaitCursor);
    const qsizetype frames = m_recorder.size();
    const std::optional<QString> failure = writeLogFile(m_recorder, path, format);
    QApplication::restoreOverrideCursor();
    if (failure) {
        // Said in the window, not in a box: a box would hold up the polling.
        m_saveProblem->say(tr("无法保存到 %1：%2\n通信记录没有丢失，可以另选位置再保存。")
                               .arg(QDir::toNativeSeparators(path), *failure));
        return;
    }
    m_saveDirectory = QFileInfo(path).absolutePath();
    statusBar()->showMessage(tr("已将 %1 帧保存到 %2").arg(frames).arg(QDir::toNativeSeparators(path)), 10000);
}

void TrafficLogWindow::refreshSoon()
{
    if (!m_refresh.isActive())
        m_refresh.start();
}

void TrafficLogWindow::refreshStatistics()
{
    m_statisticsStale = false;
    const QString text = statisticsText(m_recorder.statistics());
    if (m_statistics->text() != text)
        m_statistics->setText(text);
}

void TrafficLogWindow::refreshStatus()
{
    QString text = tr("共 %1 帧").arg(m_recorder.size());
    if (narrowed())
        text += tr("，显示其中 %1 行").arg(m_problems.rowCount());
    if (m_log.isPaused())
        text += tr("；已暂停，%1 帧待显示").arg(m_log.waiting());
    if (m_recorder.dropped() > 0)
        text += tr("；已有 %1 帧最早的记录超出 %2 帧的上限而移除").arg(m_recorder.dropped()).arg(m_recorder.capacity());
    if (m_status->text() != text)
        m_status->setText(text);
}

} // namespace kv
