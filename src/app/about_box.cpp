#include "app/about_box.h"

#include "app/message_box.h"

#include <QCoreApplication>
#include <QtGlobal>

#ifndef KV9240B_VERSION
#error "KV9240B_VERSION must be defined by the build"
#endif

namespace kv {

QString aboutText()
{
    return QCoreApplication::translate("kv::About",
        "<h3>KV9240B 温湿度传感器工具软件</h3>"
        "<p>版本 %1</p>"
        "<p>通过 RS-485 转换器以 Modbus RTU 读取、轮询并设置 KV9240B 温湿度传感器。</p>"
        "<p>版权所有，保留一切权利。未经书面许可，不得复制、修改或分发本软件。</p>"
        "<p>基于 Qt %2（运行于 Qt %3）。</p>")
        .arg(QStringLiteral(KV9240B_VERSION), QStringLiteral(QT_VERSION_STR), QString::fromLatin1(qVersion()));
}

void showAboutBox()
{
    MessageBox::show({QCoreApplication::translate("kv::About", "关于 KV9240B 温湿度传感器工具软件"), aboutText(),
        MessageBox::Icon::About, {}});
}

} // namespace kv
