#include "app/compact_style.h"
#include "app/line_control.h"
#include "app/main_window.h"
#include "app/pick_list.h"

#include <QAbstractItemView>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSet>
#include <QTest>

using namespace kv;

// Expected values are typed from the window's layout drawing (twips / 15,
// rounded), not read back from the control table.
class tst_ControlLayout : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { useCompactStyle(); }
    void init() { window = std::make_unique<frmMain>(); }
    void cleanup() { window.reset(); }

    void windowFrame();
    void geometry_data();
    void geometry();
    void captions_data();
    void captions();
    void colours();
    void unitFont();
    void controlArraysKeepTheirGaps();
    void unavailableControls();
    void lampStartsRed();
    void boxesAreDrawnOverTheirCaptions();
    void listsBeforeStartUp();
    void portNamesShowWhole();

private:
    template <class T = QWidget>
    T* find(const char* objectName) const
    {
        return window->findChild<T*>(QString::fromUtf8(objectName));
    }

    std::unique_ptr<frmMain> window;
};

void tst_ControlLayout::windowFrame()
{
    QCOMPARE(window->objectName(), QStringLiteral("frmMain"));
    QCOMPARE(window->windowTitle(), QStringLiteral("KV9240B 温湿度传感器工具软件V14.11.13"));
    QCOMPARE(window->size(), QSize(607, 454));
    QCOMPARE(window->minimumSize(), window->maximumSize());
    QVERIFY(!window->windowIcon().isNull());
    QVERIFY(window->windowIcon().availableSizes().contains(QSize(32, 32)));
}

void tst_ControlLayout::geometry_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("container");
    QTest::addColumn<QRect>("rect");
    QTest::newRow("Frame5") << "Frame5"
                            << "frmMain" << QRect(8, 8, 161, 441);
    QTest::newRow("Frame3") << "Frame3"
                            << "frmMain" << QRect(176, 152, 425, 297);
    QTest::newRow("Combo1") << "Combo1"
                            << "Frame5" << QRect(72, 16, 57, 20);
    QTest::newRow("Label5(2)") << "Label5(2)"
                               << "Frame5" << QRect(24, 40, 41, 17);
    QTest::newRow("Picture2") << "Picture2"
                              << "Frame5" << QRect(40, 144, 60, 17);
    QTest::newRow("imgNotConnected") << "imgNotConnected"
                                     << "Picture2" << QRect(24, 0, 15, 16);
    QTest::newRow("Command1") << "Command1"
                              << "Frame5" << QRect(88, 168, 65, 25);
    QTest::newRow("txtState") << "txtState"
                              << "Frame5" << QRect(8, 272, 145, 33);
    QTest::newRow("txtStationID") << "txtStationID"
                                  << "Frame10" << QRect(56, 24, 33, 18);
    QTest::newRow("Label2(7)") << "Label2(7)"
                               << "Frame12" << QRect(16, 26, 121, 17);
    QTest::newRow("cmdReadAdd") << "cmdReadAdd"
                                << "Frame12" << QRect(304, 16, 81, 25);
    QTest::newRow("txtValue(4)") << "txtValue(4)"
                                 << "Frame3" << QRect(112, 120, 67, 18);
    QTest::newRow("cmdSet(2)") << "cmdSet(2)"
                               << "Frame3" << QRect(208, 120, 57, 18);
    QTest::newRow("Label2(3)") << "Label2(3)"
                               << "Frame3" << QRect(272, 120, 145, 17);
    QTest::newRow("lblDanWei(11)") << "lblDanWei(11)"
                                   << "Frame3" << QRect(16, 192, 93, 20);
    QTest::newRow("cmdStopOnce") << "cmdStopOnce"
                                 << "Frame3" << QRect(344, 248, 57, 25);
}

void tst_ControlLayout::geometry()
{
    QFETCH(QString, name);
    QFETCH(QString, container);
    QFETCH(QRect, rect);
    QWidget* control = window->findChild<QWidget*>(name);
    QVERIFY2(control, qPrintable(name));
    QCOMPARE(control->parentWidget()->objectName(), container);
    QCOMPARE(control->geometry(), rect);
}

void tst_ControlLayout::captions_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::newRow("Frame5") << "Frame5"
                            << "串口设置";
    QTest::newRow("Frame12") << "Frame12"
                             << "设备地址修改操作";
    QTest::newRow("cmdCom") << "cmdCom"
                            << "打开串口";
    QTest::newRow("Label1(1)") << "Label1(1)"
                               << "成功接收/循环 计数";
    QTest::newRow("Label2(7)") << "Label2(7)"
                               << "地址       ";
    QTest::newRow("Label8(1)") << "Label8(1)"
                               << "超始地址";
    QTest::newRow("Label8(3)") << "Label8(3)"
                               << "功 能 码";
    QTest::newRow("Label2(13)") << "Label2(13)"
                                << "KV9240B通过产品内部拔码开关修改地址";
    QTest::newRow("lblDanWei(0)") << "lblDanWei(0)"
                                  << "℃";
    QTest::newRow("lblDanWei(11)") << "lblDanWei(11)"
                                   << "DA输出最小值";
    QTest::newRow("Label2(4)") << "Label2(4)"
                               << "值范围为：-10.00到10.00";
    QTest::newRow("Label2(2)") << "Label2(2)"
                               << "值范围为：1，2，4，8";
    QTest::newRow("Label8(4)") << "Label8(4)"
                               << "定时时长(ms)";
    QTest::newRow("cmdSet(5)") << "cmdSet(5)"
                               << "设置";
    QTest::newRow("txtStationID before start-up") << "txtStationID"
                                                  << "2";
    QTest::newRow("txtDataLength before start-up") << "txtDataLength"
                                                   << "8";
    QTest::newRow("Label1(3)") << "Label1(3)"
                               << "KV9240A KV7610B";
}

void tst_ControlLayout::captions()
{
    QFETCH(QString, name);
    QFETCH(QString, text);
    QCOMPARE(window->controls().text(name), text);
}

void tst_ControlLayout::colours()
{
    const QColor red(255, 0, 0);
    const QColor grey(224, 224, 224);
    QCOMPARE(find("Label1(2)")->palette().color(QPalette::WindowText), red);
    QCOMPARE(find("lblDanWei(3)")->palette().color(QPalette::WindowText), red);
    QCOMPARE(find("Label2(1)")->palette().color(QPalette::WindowText), red);
    QCOMPARE(find("lblDanWei(2)")->palette().color(QPalette::WindowText), QColor(Qt::black));
    QCOMPARE(find("Label1(3)")->palette().color(QPalette::WindowText), QColor(Qt::black));
    for (const char* name : {"Frame5", "Frame10", "Label3", "lblErrCounter", "Picture2"})
        QCOMPARE(find(name)->palette().color(QPalette::Window), grey);
    QCOMPARE(window->palette().color(QPalette::Window), grey);
}

void tst_ControlLayout::unitFont()
{
    for (const char* name : {"lblDanWei(0)", "lblDanWei(3)"}) {
        const QFont font = find(name)->font();
        QCOMPARE(font.family(), QStringLiteral("Arial"));
        QCOMPARE(font.pointSizeF(), 10.5);
    }
    QVERIFY(find("lblDanWei(2)")->font().family() != QStringLiteral("Arial"));
}

void tst_ControlLayout::controlArraysKeepTheirGaps()
{
    QSet<QString> unitLabels;
    for (QLabel* label : window->findChildren<QLabel*>()) {
        if (label->objectName().startsWith(QStringLiteral("lblDanWei(")))
            unitLabels << label->objectName();
    }
    QCOMPARE(unitLabels,
        QSet<QString>({"lblDanWei(0)", "lblDanWei(1)", "lblDanWei(2)", "lblDanWei(3)", "lblDanWei(5)", "lblDanWei(6)",
            "lblDanWei(7)", "lblDanWei(9)", "lblDanWei(11)", "lblDanWei(12)"}));
    for (int i = 0; i < 8; ++i)
        QVERIFY(window->findChild<QLineEdit*>(QStringLiteral("txtValue(%1)").arg(i)));
    QVERIFY(!window->findChild<QWidget*>(QStringLiteral("txtValue(8)")));
    for (int i = 0; i < 6; ++i)
        QVERIFY(window->findChild<QPushButton*>(QStringLiteral("cmdSet(%1)").arg(i)));
    QVERIFY(window->findChild<LineControl*>(QStringLiteral("Line1(0)")));
    QVERIFY(window->findChild<QPlainTextEdit*>(QStringLiteral("txtCommand")));
}

void tst_ControlLayout::unavailableControls()
{
    const QStringList off
        = {"txtValue(5)", "txtValue(6)", "txtValue(7)", "cmdSet(3)", "cmdSet(4)", "cmdSet(5)", "lblDanWei(12)",
            "lblDanWei(9)", "lblDanWei(11)", "Label2(2)", "Label2(6)", "Label2(0)", "txtSetID(1)", "cmdChangeID"};
    for (const QString& name : off) {
        QWidget* control = window->findChild<QWidget*>(name);
        QVERIFY2(control && !control->isEnabled(), qPrintable(name));
    }
    for (const char* name : {"txtValue(4)", "cmdSet(2)", "txtSetID(0)", "cmdReadAdd", "comDoOnce", "Combo1"})
        QVERIFY2(find(name)->isEnabled(), name);
}

void tst_ControlLayout::lampStartsRed()
{
    QCOMPARE(window->frontLamp(), Lamp::NotConnected);
    QWidget* picture = find("Picture2");
    for (const char* name : {"imgConnected", "ImgYellow", "imgNotConnected"}) {
        auto* image = find<QLabel>(name);
        QCOMPARE(image->parentWidget(), picture);
        QCOMPARE(image->pos(), QPoint(24, 0));
        QCOMPARE(image->pixmap().size(), QSize(16, 16));
        QCOMPARE(image->toolTip(), QStringLiteral("数据采集通讯状态指示"));
    }
    window->form().lamp.show(Lamp::Yellow);
    QCOMPARE(window->frontLamp(), Lamp::Yellow);
    QCOMPARE(picture->children().last(), find("ImgYellow"));
}

void tst_ControlLayout::boxesAreDrawnOverTheirCaptions()
{
    const QList<QPair<const char*, const char*>> pairs = {{"Label3", "Combo1"}, {"Label8(0)", "txtStationID"},
        {"Label2(7)", "txtSetID(0)"}, {"Label2(7)", "txtSetID(1)"}};
    for (const auto& [label, box] : pairs) {
        const QObjectList& stack = find(label)->parent()->children();
        QVERIFY2(stack.indexOf(find(label)) < stack.indexOf(find(box)), label);
    }
}

void tst_ControlLayout::listsBeforeStartUp()
{
    auto* ports = find<PickList>("Combo1");
    QCOMPARE(ports->count(), 25);
    QCOMPARE(ports->itemText(0), QStringLiteral("COM1"));
    QCOMPARE(ports->itemText(24), QStringLiteral("COM25"));
    QCOMPARE(ports->currentIndex(), -1);
    QCOMPARE(ports->currentText(), QStringLiteral("COM4"));
    QVERIFY(!ports->itemData(0, Qt::ToolTipRole).toString().isEmpty());
    QCOMPARE(ports->insertPolicy(), QComboBox::NoInsert);
    auto* parity = find<PickList>("Combo3");
    QCOMPARE(parity->count(), 1);
    QCOMPARE(parity->currentText(), QStringLiteral("无校验"));
}

void tst_ControlLayout::portNamesShowWhole()
{
    auto* ports = find<PickList>("Combo1");
    QCOMPARE(ports->geometry(), QRect(72, 16, 57, 20)); // in its place and size
    QCOMPARE(ports->lineEdit()->font(), ports->font());
    window->show();

    // Closed: the name as the text field draws it. A name wider than the field
    // scrolls with the cursor, so drawn with the cursor at its end and at its
    // start it would look different.
    QLineEdit* field = ports->lineEdit();
    for (int position = 0; position < ports->count(); ++position) {
        ports->setCurrentIndex(position);
        field->setCursorPosition(field->text().size());
        const QImage atEnd = field->grab().toImage();
        field->setCursorPosition(0);
        const QImage atStart = field->grab().toImage();
        QVERIFY2(atEnd == atStart, qPrintable(ports->itemText(position)));
    }

    // Open: every entry fits its row with the row's margins, so none is elided.
    ports->showPopup();
    QAbstractItemView* popup = ports->view();
    QTRY_VERIFY(popup->isVisible());
    const int textMargin = popup->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, popup) + 1;
    for (int position = 0; position < ports->count(); ++position) {
        const QModelIndex entry = popup->model()->index(position, 0);
        const int room = popup->visualRect(entry).width() - 2 * textMargin;
        QVERIFY2(popup->fontMetrics().horizontalAdvance(ports->itemText(position)) <= room,
            qPrintable(ports->itemText(position)));
    }
    ports->hidePopup();
}

QTEST_MAIN(tst_ControlLayout)
#include "tst_control_layout.moc"
