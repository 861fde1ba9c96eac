#include "app/main_window.h"

#include "app/control_builder.h"
#include "app/form_load.h"
#include "app/handlers/address_requests.h"
#include "app/handlers/gateway_handlers.h"
#include "app/handlers/measurement_query.h"
#include "app/handlers/parameter_write.h"
#include "app/handlers/polling.h"
#include "app/handlers/port_handlers.h"
#include "app/handlers/reply_handler.h"
#include "app/handlers/send_sequence.h"
#include "app/line_in_use.h"
#include "app/pick_list.h"
#include "line/serial_line.h"
#include "serial/port_directory.h"
#include "session/exchange_queue.h"
#include "session/modbus_master.h"

#include <QPushButton>
#include <QTimer>

namespace kv {

namespace {

// The lamp's images exist only once the controls are built.
std::unique_ptr<StatusLamp> buildControlsWithLamp(QWidget& window, ControlSet& controls)
{
    buildControls(window, controls);
    return std::make_unique<StatusLamp>(
        controls.widget(u"imgConnected"), controls.widget(u"ImgYellow"), controls.widget(u"imgNotConnected"));
}

} // namespace

frmMain::frmMain(QWidget* parent)
    : QWidget(parent)
    , m_MSComm1(newSerialLine(this))
    , m_line(new LineInUse(*m_MSComm1, this))
    , m_master(std::make_unique<ModbusMaster>(*m_line))
    , m_exchange(std::make_unique<ExchangeQueue>(*m_master))
    , m_Timer2(new QTimer(this))
    , m_lamp(buildControlsWithLamp(*this, m_controls))
    , m_edits(m_controls)
    , m_form{m_controls, *m_lamp, *m_MSComm1, *m_line, *m_exchange, *m_Timer2, m_vars, m_edits, m_readings}
{
    m_MSComm1->setObjectName(QStringLiteral("MSComm1"));
    m_Timer2->setObjectName(QStringLiteral("Timer2"));
    m_Timer2->setTimerType(Qt::PreciseTimer); // the period typed is the period kept
    refreshPortToolTips();
    wireEvents();
}

frmMain::~frmMain() = default;

void frmMain::connectGateway(const GatewayAddress& address)
{
    kv::connectGateway(m_form, address);
}

QString frmMain::lineName() const
{
    return kv::lineName(m_form);
}

void frmMain::load()
{
    Form_Load(m_form);
}

void frmMain::wireEvents()
{
    auto clicked = [this](QStringView button, void (*handler)(Form&)) {
        connect(m_controls.get<QPushButton>(button), &QPushButton::clicked, &m_events,
            [this, handler] { handler(m_form); });
    };
    clicked(u"cmdCom", cmdCom_Click);
    clicked(u"Command1", Command1_Click);
    clicked(u"comDoOnce", [](Form& form) { comDoOnce_Click(form); });
    clicked(u"cmdOneM", cmdOneM_Click);
    clicked(u"cmdStopOnce", cmdStopOnce_Click);
    clicked(u"cmdReadAdd", cmdReadAdd_Click);
    clicked(u"cmdChangeID", cmdChangeID_Click);
    for (int index = 0; index < 6; ++index) {
        connect(m_controls.get<QPushButton>(u"cmdSet", index), &QPushButton::clicked, &m_events,
            [this, index] { cmdSet_Click(m_form, index); });
    }

    auto* ports = m_controls.get<PickList>(u"Combo1");
    connect(ports, &PickList::chosen, &m_events, [this] { Combo1_Click(m_form); });
    connect(ports, &PickList::popupAboutToShow, &m_events, [this] { refreshPortToolTips(); });
    connect(m_controls.get<PickList>(u"Combo2"), &PickList::chosen, &m_events, [this] { Combo2_Click(m_form); });

    connect(m_Timer2, &QTimer::timeout, &m_events, [this] { Timer2_Timer(m_form); });
    connect(m_exchange.get(), &ExchangeQueue::finished, &m_events,
        [this](quint64 id, const Outcome& outcome) { MSComm1_OnComm(m_form, id, outcome); });
    connect(
        m_exchange.get(), &ExchangeQueue::sent, &m_events, [this](quint64 id) { writeRequestSent(m_form, id, true); });
    connect(m_exchange.get(), &ExchangeQueue::refused, &m_events,
        [this](quint64 id) { writeRequestSent(m_form, id, false); });
    connect(m_exchange.get(), &ExchangeQueue::givenUp, &m_events, [this](quint64 id) { requestGivenUp(m_form, id); });
    connect(m_master.get(), &ModbusMaster::strayArrived, &m_events,
        [this](const QByteArray& bytes) { showStrayBytes(m_form, bytes); });
    connect(m_line, &Line::lost, &m_events, [this] { showLostPort(m_form); });
}

void frmMain::refreshPortToolTips()
{
    auto* ports = m_controls.get<PickList>(u"Combo1");
    // The serial ports' entries; a gateway's entry after them has its own.
    const int serialPorts = gatewayEntry(m_form) < 0 ? ports->count() : gatewayEntry(m_form);
    const QStringList tips = portToolTips(serialPorts);
    for (int position = 0; position < serialPorts; ++position)
        ports->setItemData(position, tips[position], Qt::ToolTipRole);
}

} // namespace kv
