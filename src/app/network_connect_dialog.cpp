#include "app/network_connect_dialog.h"

#include "app/window_settings.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

namespace kv {

namespace {

// The user's settings of the window, in its own file.

const QString KindKey = QStringLiteral("gateway/kind");
const QString HostKey = QStringLiteral("gateway/host");
const QString PortKey = QStringLiteral("gateway/port");
const QString ModbusTcpKind = QStringLiteral("modbus-tcp");
const QString TransparentKind = QStringLiteral("rtu-over-tcp");

Framing framingAt(const QComboBox& kinds)
{
    return static_cast<Framing>(kinds.currentData().toInt());
}

} // namespace

quint16 defaultGatewayPort(Framing framing)
{
    return framing == Framing::Mbap ? 502 : 4001;
}

NetworkConnectDialog::NetworkConnectDialog(QWidget* parent)
    : QDialog(parent)
    , m_kind(new QComboBox(this))
    , m_host(new QLineEdit(this))
    , m_port(new QSpinBox(this))
    , m_buttons(new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this))
{
    setObjectName(QStringLiteral("NetworkConnectDialog"));
    setWindowTitle(tr("网络连接"));
    m_kind->setObjectName(QStringLiteral("cboGatewayKind"));
    m_kind->addItem(tr("RTU over TCP（透明网关）"), static_cast<int>(Framing::Rtu));
    m_kind->addItem(QStringLiteral("Modbus TCP"), static_cast<int>(Framing::Mbap));
    m_kind->setToolTip(tr("透明网关把 RTU 帧原样转发到串口；Modbus TCP 网关收发 Modbus TCP 报文"));
    m_host->setObjectName(QStringLiteral("txtGatewayHost"));
    m_host->setPlaceholderText(tr("IP 地址或主机名"));
    m_port->setObjectName(QStringLiteral("spnGatewayPort"));
    m_port->setRange(1, 65535);
    m_buttons->button(QDialogButtonBox::Ok)->setText(tr("连接"));
    m_buttons->button(QDialogButtonBox::Cancel)->setText(tr("取消"));

    auto* form = new QFormLayout(this);
    form->addRow(tr("类型"), m_kind);
    form->addRow(tr("主机"), m_host);
    form->addRow(tr("端口"), m_port);
    form->addRow(m_buttons);

    const QSettings settings = windowSettings();
    const bool modbusTcp = settings.value(KindKey).toString() == ModbusTcpKind;
    m_shownKind = modbusTcp ? Framing::Mbap : Framing::Rtu;
    m_kind->setCurrentIndex(m_kind->findData(static_cast<int>(m_shownKind)));
    m_host->setText(settings.value(HostKey).toString());
    m_port->setValue(settings.value(PortKey, defaultGatewayPort(m_shownKind)).toInt());

    connect(m_kind, &QComboBox::currentIndexChanged, this, &NetworkConnectDialog::kindChanged);
    connect(m_buttons, &QDialogButtonBox::accepted, this, &NetworkConnectDialog::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &NetworkConnectDialog::reject);
    // Nothing to connect to without a host.
    auto hostTyped = [this] { m_buttons->button(QDialogButtonBox::Ok)->setEnabled(!address().host.isEmpty()); };
    connect(m_host, &QLineEdit::textChanged, this, hostTyped);
    hostTyped();
}

GatewayAddress NetworkConnectDialog::address() const
{
    return {framingAt(*m_kind), m_host->text().trimmed(), static_cast<quint16>(m_port->value())};
}

void NetworkConnectDialog::accept()
{
    const GatewayAddress chosen = address();
    if (chosen.host.isEmpty())
        return;
    QSettings settings = windowSettings();
    settings.setValue(KindKey, chosen.framing == Framing::Mbap ? ModbusTcpKind : TransparentKind);
    settings.setValue(HostKey, chosen.host);
    settings.setValue(PortKey, chosen.port);
    QDialog::accept();
}

// A port still at the other kind's usual number follows the kind; one the
// user typed stays.
void NetworkConnectDialog::kindChanged()
{
    const Framing kind = framingAt(*m_kind);
    if (m_port->value() == defaultGatewayPort(m_shownKind))
        m_port->setValue(defaultGatewayPort(kind));
    m_shownKind = kind;
}

} // namespace kv
