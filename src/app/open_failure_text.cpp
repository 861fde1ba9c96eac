#include "app/open_failure_text.h"

#include "line/serial_line.h"
#include "net/tcp_line.h"

#include <QCoreApplication>

namespace kv {

QString openFailureText(const SerialLine& port)
{
    const QString path = port.devicePath();
    const QString detail = port.openFailureDetail();
    switch (port.openFailure()) {
    case SerialLine::OpenFailure::None:
        return {};
    case SerialLine::OpenFailure::AlreadyOpen:
        return QCoreApplication::translate("kv::OpenFailureText", "串口已经打开。");
    case SerialLine::OpenFailure::NoDevice:
        return QCoreApplication::translate(
            "kv::OpenFailureText", "COM%1 没有对应的串口设备：请检查 USB 转 RS-485 转换器是否已插好。")
            .arg(port.commPort());
    case SerialLine::OpenFailure::Settings:
        return QCoreApplication::translate("kv::OpenFailureText", "%1 不接受线路设置 %2。").arg(path, port.settings());
    case SerialLine::OpenFailure::Permission:
        return QCoreApplication::translate("kv::OpenFailureText",
            "当前用户无权读写 %1（该设备通常属于 dialout 组）。\n"
            "解决方法：执行 sudo usermod -aG dialout $USER，然后注销并重新登录。")
            .arg(path);
    case SerialLine::OpenFailure::Missing:
        return QCoreApplication::translate("kv::OpenFailureText", "设备 %1 不存在：请检查转换器是否已插好。").arg(path);
    case SerialLine::OpenFailure::Busy:
        return QCoreApplication::translate("kv::OpenFailureText", "%1 正被其他程序占用，请先关闭该程序。（%2）")
            .arg(path, detail);
    case SerialLine::OpenFailure::Other:
        break;
    }
    return QCoreApplication::translate("kv::OpenFailureText", "无法打开 %1：%2").arg(path, detail);
}

QString connectFailureText(const TcpLine& connection)
{
    const QString where = connection.description();
    switch (connection.failure()) {
    case TcpFailure::None:
        return {};
    case TcpFailure::Refused:
        return QCoreApplication::translate("kv::OpenFailureText", "%1 拒绝连接：该端口上没有网关在监听，请检查端口号。")
            .arg(where);
    case TcpFailure::Unreachable:
        return QCoreApplication::translate(
            "kv::OpenFailureText", "无法到达 %1：没有通往该主机的路由，请检查网线和 IP 地址。")
            .arg(where);
    case TcpFailure::NameNotFound:
        return QCoreApplication::translate("kv::OpenFailureText", "找不到主机 %1：请检查主机名。").arg(where);
    case TcpFailure::TimedOut:
        return QCoreApplication::translate("kv::OpenFailureText", "连接 %1 超时：网关没有应答，请检查 IP 地址和网络。")
            .arg(where);
    case TcpFailure::ClosedByPeer:
        return QCoreApplication::translate("kv::OpenFailureText", "%1 关闭了连接。").arg(where);
    case TcpFailure::Other:
        break;
    }
    return QCoreApplication::translate("kv::OpenFailureText", "无法连接 %1：%2").arg(where, connection.failureDetail());
}

} // namespace kv
