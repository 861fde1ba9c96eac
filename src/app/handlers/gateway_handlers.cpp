#include "app/handlers/gateway_handlers.h"

#include "app/control_set.h"
#include "app/exchange_state.h"
#include "app/form.h"
#include "app/line_in_use.h"
#include "app/message_box.h"
#include "app/network_connect_dialog.h"
#include "app/open_failure_text.h"
#include "app/pick_list.h"
#include "app/status_lamp.h"
#include "line/serial_line.h"
#include "net/tcp_line.h"

#include <QCoreApplication>
#include <QGuiApplication>

#include <memory>

namespace kv {

namespace {

// Marks the port list's entry that stands for the connection.
constexpr int GatewayEntryRole = Qt::UserRole + 1;

class BusyCursor {
public:
    BusyCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QGuiApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

QString entryText(const TcpLine& connection)
{
    return (connection.framing() == Framing::Mbap ? QStringLiteral("Modbus TCP %1") : QStringLiteral("TCP %1"))
        .arg(connection.description());
}

// The connection is made in one blocking wait: the window has nothing to do
// meanwhile but show that it waits.
bool connectNow(Form& form, TcpLine& connection)
{
    // The rate of the sensor's side of the gateway: the timeouts come from it.
    connection.setBaudRate(form.vars.CommRate);
    const BusyCursor busy;
    return connection.open();
}

void reportConnectFailure(Form& form, const TcpLine& connection)
{
    if (!form.line.isOpen())
        form.lamp.show(Lamp::NotConnected); // a closed line never shows green
    MessageBox::show({QCoreApplication::translate("kv::GatewayHandlers", "出错提示"), connectFailureText(connection),
        MessageBox::Icon::Exclamation, connection.failureDetail()});
}

// The connection in use: its entry chosen in the port list, the baud list
// marked as not reaching the line, green, polling allowed.
void showGatewayInUse(Form& form)
{
    const TcpLine& connection = *form.line.connection();
    auto* ports = form.controls.get<PickList>(u"Combo1");
    int entry = gatewayEntry(form);
    if (entry < 0) {
        ports->addItem(entryText(connection));
        entry = ports->count() - 1;
        ports->setItemData(entry, true, GatewayEntryRole);
    }
    ports->setItemText(entry, entryText(connection));
    ports->setItemData(entry,
        QCoreApplication::translate("kv::GatewayHandlers", "经以太网网关连接 %1").arg(connection.description()),
        Qt::ToolTipRole);
    ports->setCurrentIndex(entry); // shown, not chosen again: the handler must not run
    form.controls.get<PickList>(u"Combo2")->setToolTip(QCoreApplication::translate(
        "kv::GatewayHandlers", "使用网络连接时，波特率列表不改变线路：网关串口一侧的波特率在网关上设置。"));
    form.lamp.show(Lamp::Connected);
    form.vars.CycleOn = true;
}

} // namespace

void connectGateway(Form& form, const GatewayAddress& address)
{
    auto connection = std::make_unique<TcpLine>(address.host, address.port, address.framing);
    // A gateway may serve one client at a time: the connection before goes
    // first, also when it leads to the same gateway.
    if (form.line.onNetwork())
        form.line.close();
    if (!connectNow(form, *connection)) {
        reportConnectFailure(form, *connection);
        return;
    }
    form.line.useConnection(std::move(connection));
    showGatewayInUse(form);
}

void reopenGateway(Form& form)
{
    TcpLine* connection = form.line.connection();
    if (!connection)
        return;
    form.line.useKeptConnection();
    connection->close();
    if (!connectNow(form, *connection)) {
        reportConnectFailure(form, *connection);
        return;
    }
    showGatewayInUse(form);
}

void leaveGateway(Form& form)
{
    if (!form.line.onNetwork())
        return;
    form.line.useSerial();
    form.controls.get<PickList>(u"Combo2")->setToolTip(QString());
}

int gatewayEntry(const Form& form)
{
    const auto* ports = form.controls.get<PickList>(u"Combo1");
    for (int position = ports->count() - 1; position >= 0; --position) {
        if (ports->itemData(position, GatewayEntryRole).toBool())
            return position;
    }
    return -1;
}

QString lineName(const Form& form)
{
    if (form.line.onNetwork())
        return entryText(*form.line.connection());
    return QStringLiteral("COM%1").arg(form.line.serial().commPort());
}

} // namespace kv
