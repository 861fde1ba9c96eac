#pragma once

#include "app/control_set.h"
#include "app/decoded_readings.h"
#include "app/edited_values.h"
#include "app/exchange_state.h"
#include "app/find_sensor/window_line.h"
#include "app/form.h"
#include "app/status_lamp.h"
#include "app/window_line_release.h"

#include <QWidget>

#include <memory>

class QTimer;

namespace kv {

class SerialLine;
class ExchangeQueue;
class LineInUse;
class ModbusMaster;
struct GatewayAddress;

// The tool's one window. It builds its controls from the control table, owns
// the serial port object, the line in use (that port or a connection to a
// gateway), the polling timer and the window-level variables, and hands each
// event to its handler; the handlers do the work.
class frmMain : public QWidget, public WindowLine {
    Q_OBJECT

public:
    explicit frmMain(QWidget* parent = nullptr);
    ~frmMain() override;

    // Runs start-up; call once, before the window is shown.
    void load();

    Form& form() { return m_form; }
    const ControlSet& controls() const { return m_controls; }
    ExchangeState& variables() { return m_vars; }
    SerialLine& serialPort() { return *m_MSComm1; }
    // The line every exchange goes over: the serial port or a connection to a gateway.
    LineInUse& line() { return *m_line; }
    // The port list's name of the line in use: "COM1", "TCP 10.0.0.5:4001".
    QString lineName() const;
    // Connects to a gateway and uses it in place of the serial port.
    void connectGateway(const GatewayAddress& address);
    // The queue every exchange of the window goes through.
    ExchangeQueue& exchange() { return *m_exchange; }
    QTimer& pollTimer() { return *m_Timer2; }
    Lamp frontLamp() const { return m_lamp->front(); }
    // Every measurement the window decodes soundly, as it is decoded.
    DecodedReadings& readings() { return m_readings; }

    // Lending the line to the find dialog and taking over a sensor it found
    // (main_window_line.cpp).
    int portCount() const override;
    int portNumber() const override;
    ReleasedLine releaseLine() override;
    bool lineHeld() const override;
    QString restoreLine() override;
    void choosePort(int number) override;
    void chooseRate(int baudRate) override;
    void chooseStation(int station) override;

private:
    void wireEvents();
    void refreshPortToolTips();

    ControlSet m_controls;
    ExchangeState m_vars;
    SerialLine* m_MSComm1;
    LineInUse* m_line;
    std::unique_ptr<ModbusMaster> m_master;
    std::unique_ptr<ExchangeQueue> m_exchange;
    QTimer* m_Timer2;
    std::unique_ptr<StatusLamp> m_lamp;
    EditedValues m_edits; // needs the controls, built with the lamp
    DecodedReadings m_readings;
    Form m_form;
    WindowLineRelease m_lineRelease{m_form};
    // Context of every event connection. Declared last so it goes first: no
    // handler can run on a half-destroyed window while the controls are deleted.
    QObject m_events;
};

} // namespace kv
