#pragma once

#include "line/line.h"

#include <QDialog>
#include <QString>

class QComboBox;
class QDialogButtonBox;
class QLineEdit;
class QSpinBox;

namespace kv {

// Where a gateway is and how it passes the frames on.
struct GatewayAddress {
    Framing framing = Framing::Rtu; // Rtu: a transparent gateway; Mbap: Modbus TCP
    QString host;
    quint16 port = 0;
};

// The usual port of each kind of gateway: 502 for Modbus TCP, 4001 for a
// transparent one (the common default of serial device servers).
quint16 defaultGatewayPort(Framing framing);

// "网络连接": asks for the kind of gateway, its host and its port, starting
// from the ones asked last (kept in the user's settings), and keeps them
// when accepted. The window connects; the dialog only asks.
class NetworkConnectDialog : public QDialog {
    Q_OBJECT

public:
    explicit NetworkConnectDialog(QWidget* parent = nullptr);

    GatewayAddress address() const;

    void accept() override;

private:
    void kindChanged();

    QComboBox* m_kind;
    QLineEdit* m_host;
    QSpinBox* m_port;
    QDialogButtonBox* m_buttons;
    Framing m_shownKind = Framing::Rtu; // the kind the port box was last filled for
};

} // namespace kv
