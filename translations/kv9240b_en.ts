<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>kv::About</name>
    <message>
        <source>&lt;h3&gt;KV9240B 温湿度传感器工具软件&lt;/h3&gt;&lt;p&gt;版本 %1&lt;/p&gt;&lt;p&gt;通过 RS-485 转换器以 Modbus RTU 读取、轮询并设置 KV9240B 温湿度传感器。&lt;/p&gt;&lt;p&gt;版权所有，保留一切权利。未经书面许可，不得复制、修改或分发本软件。&lt;/p&gt;&lt;p&gt;基于 Qt %2（运行于 Qt %3）。&lt;/p&gt;</source>
        <translation>&lt;h3&gt;KV9240B Temperature and Humidity Sensor Tool&lt;/h3&gt;&lt;p&gt;Version %1&lt;/p&gt;&lt;p&gt;Reads, polls and sets the KV9240B temperature and humidity sensor over Modbus RTU through an RS-485 adapter.&lt;/p&gt;&lt;p&gt;All rights reserved. This software may not be copied, modified or distributed without written permission.&lt;/p&gt;&lt;p&gt;Built with Qt %2 (running on Qt %3).&lt;/p&gt;</translation>
    </message>
    <message>
        <source>关于 KV9240B 温湿度传感器工具软件</source>
        <translation>About the KV9240B Temperature and Humidity Sensor Tool</translation>
    </message>
</context>
<context>
    <name>kv::ChartWindow</name>
    <message>
        <source>温度 (°C)</source>
        <translation>Temperature (°C)</translation>
    </message>
    <message>
        <source>湿度 (%RH)</source>
        <translation>Humidity (%RH)</translation>
    </message>
    <message>
        <source>记录与曲线</source>
        <translation>Recording and Chart</translation>
    </message>
    <message>
        <source>全部</source>
        <translation>All</translation>
    </message>
    <message>
        <source>显示整个记录过程，并随新读数延伸</source>
        <translation>Show the whole recording, growing with new readings</translation>
    </message>
    <message>
        <source>跟随最新</source>
        <translation>Follow latest</translation>
    </message>
    <message>
        <source>滚轮缩放或拖动时间轴后不再跟随</source>
        <translation>Stops following once you zoom with the wheel or drag the time axis</translation>
    </message>
    <message>
        <source>导出图片…</source>
        <translation>Export image…</translation>
    </message>
    <message>
        <source>距上次读数：</source>
        <translation>Since last reading:</translation>
    </message>
    <message>
        <source>记录到文件</source>
        <translation>Record to file</translation>
    </message>
    <message>
        <source>开始记录…</source>
        <translation>Start recording…</translation>
    </message>
    <message>
        <source>停止记录</source>
        <translation>Stop recording</translation>
    </message>
    <message>
        <source>尚无读数</source>
        <translation>No reading yet</translation>
    </message>
    <message>
        <source>开始记录</source>
        <translation>Start recording</translation>
    </message>
    <message>
        <source>CSV 文件 (*.csv)</source>
        <translation>CSV files (*.csv)</translation>
    </message>
    <message>
        <source>无法打开记录文件“%1”，记录未开始。</source>
        <translation>Cannot open the recording file “%1”; recording has not started.</translation>
    </message>
    <message>
        <source>文件“%1”中已有其他内容，不是记录文件。为免损坏该文件，记录未开始。</source>
        <translation>The file “%1” holds something other than a recording. Recording has not started, so as not to damage it.</translation>
    </message>
    <message>
        <source>写入记录文件“%1”失败（磁盘可能已满），记录已停止。</source>
        <translation>Writing to the recording file “%1” failed (the disk may be full); recording has stopped.</translation>
    </message>
    <message>
        <source>未在记录</source>
        <translation>Not recording</translation>
    </message>
    <message>
        <source>正在记录 %1
已写 %2 行</source>
        <translation>Recording to %1
%2 rows written</translation>
    </message>
    <message>
        <source>导出图片</source>
        <translation>Export image</translation>
    </message>
    <message>
        <source>PNG 图片 (*.png)</source>
        <translation>PNG images (*.png)</translation>
    </message>
    <message>
        <source>无法保存图片“%1”。</source>
        <translation>Cannot save the image “%1”.</translation>
    </message>
    <message>
        <source>传感器：</source>
        <translation>Sensor:</translation>
    </message>
    <message>
        <source>旁边的数字属于这个传感器</source>
        <translation>The figures beside the chart are this sensor&apos;s</translation>
    </message>
    <message>
        <source>记录文件“%1”已被删除或改名，记录已停止。</source>
        <translation>The recording file “%1” was deleted or renamed. Recording has stopped.</translation>
    </message>
</context>
<context>
    <name>kv::ExchangeStatus</name>
    <message>
        <source>尚无通信</source>
        <translation>No exchange yet</translation>
    </message>
    <message>
        <source>正常，响应 %1 ms</source>
        <translation>OK, answered in %1 ms</translation>
    </message>
    <message>
        <source>正常</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>无应答（等待 %1 s）</source>
        <translation>No reply (waited %1 s)</translation>
    </message>
    <message>
        <source>无应答（等待 %1 ms）</source>
        <translation>No reply (waited %1 ms)</translation>
    </message>
    <message>
        <source>异常 %1：%2</source>
        <translation>Exception %1: %2</translation>
    </message>
    <message>
        <source>CRC 错误</source>
        <translation>CRC error</translation>
    </message>
    <message>
        <source>应答不完整：收到 %1 字节，应为 %2 字节</source>
        <translation>Incomplete reply: %1 bytes received, %2 expected</translation>
    </message>
    <message>
        <source>应答与请求不符：%1</source>
        <translation>Reply does not match the request: %1</translation>
    </message>
    <message>
        <source>串口设备已断开</source>
        <translation>Serial device disconnected</translation>
    </message>
    <message>
        <source>网络连接已断开</source>
        <translation>Network connection lost</translation>
    </message>
</context>
<context>
    <name>kv::FindSensorDialog</name>
    <message>
        <source>查找传感器</source>
        <translation>Find sensor</translation>
    </message>
    <message>
        <source>逐个地址扫描 (1-247)</source>
        <translation>Scan stations 1-247</translation>
    </message>
    <message>
        <source>站号 250 无应答时，逐个询问站号 1 到 247（每个波特率约需 17 秒）</source>
        <translation>When station 250 gives no answer, ask stations 1 to 247 one by one (about 17 s per baud rate)</translation>
    </message>
    <message>
        <source>开始</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>停止</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>查找过程中的提示显示在这里</source>
        <translation>Notes from the search appear here</translation>
    </message>
    <message>
        <source>使用</source>
        <translation>Use</translation>
    </message>
    <message>
        <source>关闭本窗口，并在主窗口中选好该传感器的串口、波特率和设备地址</source>
        <translation>Close this window and choose this sensor&apos;s port, baud rate and station address in the main window</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>串口</source>
        <translation>Ports</translation>
    </message>
    <message>
        <source>未检测到串口设备</source>
        <translation>No serial device found</translation>
    </message>
    <message>
        <source>波特率</source>
        <translation>Baud rate</translation>
    </message>
    <message>
        <source>%1 无法打开：%2</source>
        <translation>%1 cannot be opened: %2</translation>
    </message>
    <message>
        <source>%1：多个传感器同时应答，正在逐个地址扫描</source>
        <translation>%1: several sensors answered at once, scanning station by station</translation>
    </message>
    <message>
        <source>%1 · 站号 %2 的应答无法识别（%3），可能有两个传感器使用同一站号</source>
        <translation>%1 · the answer of station %2 cannot be read (%3): two sensors may share this station address</translation>
    </message>
    <message>
        <source>已停止主窗口的循环采集：查找期间串口由查找使用。</source>
        <translation>Polling in the main window has stopped: the search uses the port while it runs.</translation>
    </message>
    <message>
        <source>主窗口的串口 COM%1 已暂时关闭，查找结束后按原设置重新打开。</source>
        <translation>The main window&apos;s port COM%1 is closed for now and opens again with its settings when the search ends.</translation>
    </message>
    <message>
        <source>%1 · 站号 %2</source>
        <translation>%1 · station %2</translation>
    </message>
    <message numerus="yes">
        <source>已停止，找到 %n 个传感器</source>
        <translation>
            <numerusform>Stopped, found %n sensor</numerusform>
            <numerusform>Stopped, found %n sensors</numerusform>
        </translation>
    </message>
    <message>
        <source>未找到传感器</source>
        <translation>No sensor found</translation>
    </message>
    <message numerus="yes">
        <source>找到 %n 个传感器</source>
        <translation>
            <numerusform>Found %n sensor</numerusform>
            <numerusform>Found %n sensors</numerusform>
        </translation>
    </message>
    <message>
        <source>用时 %1 秒</source>
        <translation>took %1 s</translation>
    </message>
    <message>
        <source>主窗口的串口 COM%1 无法重新打开：%2</source>
        <translation>The main window&apos;s port COM%1 cannot be opened again: %2</translation>
    </message>
    <message>
        <source>主窗口的串口 COM%1 已重新打开。</source>
        <translation>The main window&apos;s port COM%1 is open again.</translation>
    </message>
    <message>
        <source>%1 在查找中断开：设备出错或已拔出，查找继续其余串口</source>
        <translation>%1 was lost during the search: the device failed or was unplugged; the search goes on with the other ports</translation>
    </message>
    <message>
        <source>%1：%2 波特率下均无应答</source>
        <translation>%1: no answer at %2</translation>
    </message>
    <message>
        <source>全部加入总览</source>
        <translation>Add all to overview</translation>
    </message>
    <message>
        <source>把找到的每个传感器加入传感器总览</source>
        <translation>Add every sensor found to the sensor overview</translation>
    </message>
</context>
<context>
    <name>kv::FormLoad</name>
    <message>
        <source>VORT系统出错提示</source>
        <translation>VORT System Error</translation>
    </message>
    <message>
        <source>请检查串口端口,串口端口%1无法打开!</source>
        <translation>Check the serial port: serial port %1 cannot be opened!</translation>
    </message>
</context>
<context>
    <name>kv::FoundSensorModel</name>
    <message>
        <source>读取测量值失败（%1）</source>
        <translation>reading the measurements failed (%1)</translation>
    </message>
    <message>
        <source>端口</source>
        <translation>Port</translation>
    </message>
    <message>
        <source>设备</source>
        <translation>Device</translation>
    </message>
    <message>
        <source>波特率</source>
        <translation>Baud rate</translation>
    </message>
    <message>
        <source>站号</source>
        <translation>Station</translation>
    </message>
    <message>
        <source>温度 (℃)</source>
        <translation>Temperature (℃)</translation>
    </message>
    <message>
        <source>湿度 (%RH)</source>
        <translation>Humidity (%RH)</translation>
    </message>
</context>
<context>
    <name>kv::GatewayHandlers</name>
    <message>
        <source>出错提示</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>经以太网网关连接 %1</source>
        <translation>Connected to %1 through an Ethernet gateway</translation>
    </message>
    <message>
        <source>使用网络连接时，波特率列表不改变线路：网关串口一侧的波特率在网关上设置。</source>
        <translation>On a network connection the baud rate list does not change the line: the rate of the gateway&apos;s serial side is set on the gateway.</translation>
    </message>
</context>
<context>
    <name>kv::Modbus</name>
    <message>
        <source>非法功能</source>
        <translation>illegal function</translation>
    </message>
    <message>
        <source>非法数据地址</source>
        <translation>illegal data address</translation>
    </message>
    <message>
        <source>非法数据值</source>
        <translation>illegal data value</translation>
    </message>
    <message>
        <source>从站设备故障</source>
        <translation>server device failure</translation>
    </message>
    <message>
        <source>确认</source>
        <translation>acknowledge</translation>
    </message>
    <message>
        <source>从站设备忙</source>
        <translation>server device busy</translation>
    </message>
    <message>
        <source>存储奇偶性差错</source>
        <translation>memory parity error</translation>
    </message>
    <message>
        <source>不可用网关路径</source>
        <translation>gateway path unavailable</translation>
    </message>
    <message>
        <source>网关目标设备响应失败</source>
        <translation>gateway target device failed to respond</translation>
    </message>
</context>
<context>
    <name>kv::NetworkConnectDialog</name>
    <message>
        <source>网络连接</source>
        <translation>Network Connection</translation>
    </message>
    <message>
        <source>RTU over TCP（透明网关）</source>
        <translation>RTU over TCP (transparent gateway)</translation>
    </message>
    <message>
        <source>透明网关把 RTU 帧原样转发到串口；Modbus TCP 网关收发 Modbus TCP 报文</source>
        <translation>A transparent gateway passes RTU frames to its serial port as they are; a Modbus TCP gateway takes and gives Modbus TCP messages</translation>
    </message>
    <message>
        <source>IP 地址或主机名</source>
        <translation>IP address or host name</translation>
    </message>
    <message>
        <source>连接</source>
        <translation>Connect</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>类型</source>
        <translation>Kind</translation>
    </message>
    <message>
        <source>主机</source>
        <translation>Host</translation>
    </message>
    <message>
        <source>端口</source>
        <translation>Port</translation>
    </message>
</context>
<context>
    <name>kv::OpenFailureText</name>
    <message>
        <source>串口已经打开。</source>
        <translation>The serial port is already open.</translation>
    </message>
    <message>
        <source>COM%1 没有对应的串口设备：请检查 USB 转 RS-485 转换器是否已插好。</source>
        <translation>No serial device stands behind COM%1: check that the USB to RS-485 adapter is plugged in.</translation>
    </message>
    <message>
        <source>%1 不接受线路设置 %2。</source>
        <translation>%1 does not accept the line settings %2.</translation>
    </message>
    <message>
        <source>当前用户无权读写 %1（该设备通常属于 dialout 组）。
解决方法：执行 sudo usermod -aG dialout $USER，然后注销并重新登录。</source>
        <translation>You may not read and write %1 (the device usually belongs to the dialout group).
To fix it, run sudo usermod -aG dialout $USER, then log out and in again.</translation>
    </message>
    <message>
        <source>设备 %1 不存在：请检查转换器是否已插好。</source>
        <translation>The device %1 does not exist: check that the adapter is plugged in.</translation>
    </message>
    <message>
        <source>%1 正被其他程序占用，请先关闭该程序。（%2）</source>
        <translation>%1 is in use by another program: close that program first. (%2)</translation>
    </message>
    <message>
        <source>无法打开 %1：%2</source>
        <translation>Cannot open %1: %2</translation>
    </message>
    <message>
        <source>%1 拒绝连接：该端口上没有网关在监听，请检查端口号。</source>
        <translation>%1 refused the connection: no gateway listens on that port. Check the port number.</translation>
    </message>
    <message>
        <source>无法到达 %1：没有通往该主机的路由，请检查网线和 IP 地址。</source>
        <translation>Cannot reach %1: there is no route to the host. Check the cable and the IP address.</translation>
    </message>
    <message>
        <source>找不到主机 %1：请检查主机名。</source>
        <translation>Host %1 not found: check the host name.</translation>
    </message>
    <message>
        <source>连接 %1 超时：网关没有应答，请检查 IP 地址和网络。</source>
        <translation>Connecting to %1 timed out: the gateway did not answer. Check the IP address and the network.</translation>
    </message>
    <message>
        <source>%1 关闭了连接。</source>
        <translation>%1 closed the connection.</translation>
    </message>
    <message>
        <source>无法连接 %1：%2</source>
        <translation>Cannot connect to %1: %2</translation>
    </message>
</context>
<context>
    <name>kv::OverviewSensor</name>
    <message>
        <source>COM%1 站 %2</source>
        <translation>COM%1 station %2</translation>
    </message>
</context>
<context>
    <name>kv::OverviewWindow</name>
    <message>
        <source>正常</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>无应答（等待 %1 ms）</source>
        <translation>No reply (waited %1 ms)</translation>
    </message>
    <message>
        <source>应答不完整</source>
        <translation>Reply incomplete</translation>
    </message>
    <message>
        <source>CRC 错误</source>
        <translation>CRC error</translation>
    </message>
    <message>
        <source>异常 %1：%2</source>
        <translation>Exception %1: %2</translation>
    </message>
    <message>
        <source>应答与请求不符</source>
        <translation>Reply does not match the request</translation>
    </message>
    <message>
        <source>串口无法使用</source>
        <translation>Port unavailable</translation>
    </message>
    <message>
        <source>%1 秒前</source>
        <translation>%1 s ago</translation>
    </message>
    <message>
        <source>%1 分钟前</source>
        <translation>%1 min ago</translation>
    </message>
    <message>
        <source>传感器总览</source>
        <translation>Sensor Overview</translation>
    </message>
    <message>
        <source>添加…</source>
        <translation>Add…</translation>
    </message>
    <message>
        <source>移除</source>
        <translation>Remove</translation>
    </message>
    <message>
        <source>限值…</source>
        <translation>Limits…</translation>
    </message>
    <message>
        <source>开始</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>停止</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>导出…</source>
        <translation>Export…</translation>
    </message>
    <message>
        <source>导入…</source>
        <translation>Import…</translation>
    </message>
    <message>
        <source>周期 (ms)</source>
        <translation>Period (ms)</translation>
    </message>
    <message>
        <source>名称</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>线路</source>
        <translation>Line</translation>
    </message>
    <message>
        <source>站号</source>
        <translation>Station</translation>
    </message>
    <message>
        <source>温度 (℃)</source>
        <translation>Temperature (℃)</translation>
    </message>
    <message>
        <source>湿度 (%RH)</source>
        <translation>Humidity (%RH)</translation>
    </message>
    <message>
        <source>最后结果</source>
        <translation>Last result</translation>
    </message>
    <message>
        <source>读数时间</source>
        <translation>Reading age</translation>
    </message>
    <message>
        <source>温度范围</source>
        <translation>Temperature range</translation>
    </message>
    <message>
        <source>湿度范围</source>
        <translation>Humidity range</translation>
    </message>
    <message>
        <source>正常率</source>
        <translation>Sound share</translation>
    </message>
    <message>
        <source>超限</source>
        <translation>Out of limits</translation>
    </message>
    <message>
        <source>添加传感器</source>
        <translation>Add Sensors</translation>
    </message>
    <message>
        <source>站号列表，例如 1,3,5-9（1 到 247）</source>
        <translation>A list of stations such as 1,3,5-9 (1 to 247)</translation>
    </message>
    <message>
        <source>波特率</source>
        <translation>Baud rate</translation>
    </message>
    <message>
        <source>“%1”不是站号：站号为 1 到 247。</source>
        <translation>“%1” is no station: stations run from 1 to 247.</translation>
    </message>
    <message>
        <source>“%1”不是站号范围：请写成“起-止”，1 到 247。</source>
        <translation>“%1” is no range of stations: write first-last, from 1 to 247.</translation>
    </message>
    <message>
        <source>请先选择要设置限值的传感器。</source>
        <translation>Choose the sensors to set limits for first.</translation>
    </message>
    <message>
        <source>限值</source>
        <translation>Limits</translation>
    </message>
    <message>
        <source>温度下限 (℃)</source>
        <translation>Temperature low (℃)</translation>
    </message>
    <message>
        <source>温度上限 (℃)</source>
        <translation>Temperature high (℃)</translation>
    </message>
    <message>
        <source>湿度下限 (%RH)</source>
        <translation>Humidity low (%RH)</translation>
    </message>
    <message>
        <source>湿度上限 (%RH)</source>
        <translation>Humidity high (%RH)</translation>
    </message>
    <message>
        <source>空着的限值不检查；设置用于选中的 %1 个传感器。</source>
        <translation>An empty limit is not checked; the limits apply to the %1 chosen sensors.</translation>
    </message>
    <message>
        <source>限值应为数字，或空着。</source>
        <translation>A limit is a number, or empty.</translation>
    </message>
    <message>
        <source>周期应为 %1 到 %2 ms：这 %3 个传感器在线路上一轮至少需要 %1 ms。</source>
        <translation>The period must be %1 to %2 ms: a round of these %3 sensors takes at least %1 ms on the line.</translation>
    </message>
    <message>
        <source>超出限值（自 %1 起）</source>
        <translation>Out of limits (since %1)</translation>
    </message>
    <message>
        <source>导出传感器列表</source>
        <translation>Export Sensor List</translation>
    </message>
    <message>
        <source>传感器列表 (*.json)</source>
        <translation>Sensor lists (*.json)</translation>
    </message>
    <message>
        <source>无法写入“%1”：%2</source>
        <translation>Cannot write “%1”: %2</translation>
    </message>
    <message>
        <source>导入传感器列表</source>
        <translation>Import Sensor List</translation>
    </message>
    <message>
        <source>“%1”不是传感器列表。</source>
        <translation>“%1” is not a sensor list.</translation>
    </message>
</context>
<context>
    <name>kv::ParameterWrite</name>
    <message>
        <source>传感器的波特率将改为 %1。网关串口一侧的波特率须随之在网关上改为 %1，否则之后收不到传感器的应答。</source>
        <translation>The sensor&apos;s baud rate is being changed to %1. Set the gateway&apos;s serial side to %1 as well, or the sensor&apos;s answers will no longer be heard.</translation>
    </message>
</context>
<context>
    <name>kv::Polling</name>
    <message>
        <source>你输入的定时时长格式有误，应该为数字，值范围为50-60000!</source>
        <translation>The period you entered is not valid: it must be a number from 50 to 60000!</translation>
    </message>
</context>
<context>
    <name>kv::PortDirectory</name>
    <message>
        <source>COM%1：未检测到对应的串口设备</source>
        <translation>COM%1: no serial device found for it</translation>
    </message>
    <message>
        <source>由环境变量 %1 指定</source>
        <translation>chosen by the environment variable %1</translation>
    </message>
    <message>
        <source>COM%1：%2</source>
        <translation>COM%1: %2</translation>
    </message>
    <message>
        <source>，</source>
        <comment>between the parts of a port&apos;s description</comment>
        <translation>, </translation>
    </message>
</context>
<context>
    <name>kv::PortHandlers</name>
    <message>
        <source>出错提示</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>串口已打开或被占用！</source>
        <translation>The serial port is already open or in use!</translation>
    </message>
    <message>
        <source>串口不接受线路设置 %1。</source>
        <translation>The serial port does not accept the line settings %1.</translation>
    </message>
    <message>
        <source>请选择端口</source>
        <translation>Choose a port</translation>
    </message>
    <message>
        <source>COM%1 的串口设备 %2 已断开，串口已关闭。请重新插好转换器，然后按“打开串口”。</source>
        <translation>The serial device %2 of COM%1 was disconnected and the port closed. Plug the adapter in again, then press “Open port”.</translation>
    </message>
    <message>
        <source>与 %1 的网络连接已断开</source>
        <translation>The network connection to %1 was lost</translation>
    </message>
</context>
<context>
    <name>kv::ProblemLine</name>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>关闭此提示</source>
        <translation>Close this notice</translation>
    </message>
</context>
<context>
    <name>kv::ReadingAge</name>
    <message>
        <source>%1 秒</source>
        <translation>%1 s</translation>
    </message>
    <message>
        <source>%1 分 %2 秒</source>
        <translation>%1 min %2 s</translation>
    </message>
    <message>
        <source>%1 小时 %2 分</source>
        <translation>%1 h %2 min</translation>
    </message>
</context>
<context>
    <name>kv::ReadingChart</name>
    <message>
        <source>温度 (°C)</source>
        <translation>Temperature (°C)</translation>
    </message>
    <message>
        <source>湿度 (%RH)</source>
        <translation>Humidity (%RH)</translation>
    </message>
    <message>
        <source>读数曲线</source>
        <translation>Readings chart</translation>
    </message>
    <message>
        <source>%1 站 %2</source>
        <translation>%1 station %2</translation>
    </message>
    <message>
        <source>%1 温度</source>
        <translation>%1 temperature</translation>
    </message>
    <message>
        <source>%1 湿度</source>
        <translation>%1 humidity</translation>
    </message>
</context>
<context>
    <name>kv::Requests</name>
    <message>
        <source>你输入的设备地址格式有误!</source>
        <translation>The station address you entered is not valid!</translation>
    </message>
    <message>
        <source>你输入的功能码格式有误!</source>
        <translation>The function code you entered is not valid!</translation>
    </message>
    <message>
        <source>你输入的数据长度格式有误!</source>
        <translation>The data length you entered is not valid!</translation>
    </message>
    <message>
        <source>你输入的起始地址格式有误!</source>
        <translation>The start address you entered is not valid!</translation>
    </message>
    <message>
        <source>你输入的数据长度格式有误,正确的值应该为1-8!</source>
        <translation>The data length you entered is not valid: it must be 1 to 8!</translation>
    </message>
    <message>
        <source>你输入的原设备地址格式有误!</source>
        <translation>The present station address you entered is not valid!</translation>
    </message>
    <message>
        <source>你输入的目标设备地址格式有误!</source>
        <translation>The new station address you entered is not valid!</translation>
    </message>
    <message>
        <source>请指定正确的设备地址，正确值范围为1-250</source>
        <translation>Give a valid station address, from 1 to 250</translation>
    </message>
    <message>
        <source>请指定正确的设备地址，正确值范围为1-250!</source>
        <translation>Give a valid station address, from 1 to 250!</translation>
    </message>
</context>
<context>
    <name>kv::SendSequence</name>
    <message>
        <source>打开串口出错，请确定串口是否已被占用</source>
        <translation>The serial port is not open: check whether another program is using it</translation>
    </message>
</context>
<context>
    <name>kv::Settings</name>
    <message>
        <source>你输入的值有误，请输入0-9的数据，不能含字母！</source>
        <translation>The value you entered is not valid: enter digits 0-9, no letters!</translation>
    </message>
    <message>
        <source>你输入的值有误，正确的值范围为-10到10!</source>
        <translation>The value you entered is not valid: it must be -10 to 10!</translation>
    </message>
    <message>
        <source>你输入的值有误，正确的值范围为2400,4800,9600或19200!</source>
        <translation>The value you entered is not valid: it must be 2400, 4800, 9600 or 19200!</translation>
    </message>
    <message>
        <source>你输入的值有误，正确的值范围为-32768到65535!</source>
        <translation>The value you entered is not valid: it must be -32768 to 65535!</translation>
    </message>
</context>
<context>
    <name>kv::SpanFigures</name>
    <message>
        <source>显示曲线</source>
        <translation>Show curve</translation>
    </message>
    <message>
        <source>最新值</source>
        <translation>Latest</translation>
    </message>
    <message>
        <source>时间</source>
        <translation>Time</translation>
    </message>
    <message>
        <source>最小值</source>
        <translation>Minimum</translation>
    </message>
    <message>
        <source>最大值</source>
        <translation>Maximum</translation>
    </message>
    <message>
        <source>平均值</source>
        <translation>Mean</translation>
    </message>
    <message>
        <source>读数</source>
        <translation>Readings</translation>
    </message>
</context>
<context>
    <name>kv::ToolWindow</name>
    <message>
        <source>工具(&amp;T)</source>
        <translation>&amp;Tools</translation>
    </message>
    <message>
        <source>帮助(&amp;H)</source>
        <translation>&amp;Help</translation>
    </message>
    <message>
        <source>关于…(&amp;A)</source>
        <translation>&amp;About…</translation>
    </message>
    <message>
        <source>通信记录…(&amp;L)</source>
        <translation>&amp;Traffic log…</translation>
    </message>
    <message>
        <source>记录与曲线…(&amp;R)</source>
        <translation>&amp;Recording and chart…</translation>
    </message>
    <message>
        <source>查找传感器…(&amp;F)</source>
        <translation>&amp;Find sensor…</translation>
    </message>
    <message>
        <source>网络连接…(&amp;N)</source>
        <translation>&amp;Network connection…</translation>
    </message>
    <message>
        <source>传感器总览…(&amp;B)</source>
        <translation>Sensor &amp;overview…</translation>
    </message>
</context>
<context>
    <name>kv::Traffic</name>
    <message>
        <source>温度校准</source>
        <translation>temperature offset</translation>
    </message>
    <message>
        <source>湿度校准</source>
        <translation>humidity offset</translation>
    </message>
    <message>
        <source>波特率</source>
        <translation>baud rate</translation>
    </message>
    <message>
        <source>寄存器 0x%1</source>
        <translation>register 0x%1</translation>
    </message>
    <message>
        <source>校准 %1 / %2</source>
        <translation>offsets %1 / %2</translation>
    </message>
    <message>
        <source>%1 波特</source>
        <translation>%1 baud</translation>
    </message>
    <message>
        <source>，</source>
        <translation>, </translation>
    </message>
    <message>
        <source>站号 %1</source>
        <translation>station %1</translation>
    </message>
    <message>
        <source>从站 %1 的 %2 个寄存器</source>
        <translation>%2 registers of station %1</translation>
    </message>
    <message>
        <source>站号 %1 确认：%2 %3</source>
        <translation>station %1 confirms: %2 %3</translation>
    </message>
    <message>
        <source>站号 %1 确认地址改为 %2</source>
        <translation>station %1 confirms its address is now %2</translation>
    </message>
    <message>
        <source>从站 %1 应答</source>
        <translation>answer from station %1</translation>
    </message>
    <message>
        <source>来自从站 %1，请求的是从站 %2</source>
        <translation>from station %1, station %2 was asked</translation>
    </message>
    <message>
        <source>功能码 %1，请求的是 %2</source>
        <translation>function %1, %2 was asked</translation>
    </message>
    <message>
        <source>长度或内容与请求不符：%1 字节，应为 %2 字节</source>
        <translation>length or content does not fit the request: %1 bytes, %2 expected</translation>
    </message>
    <message>
        <source>发送</source>
        <translation>Sent</translation>
    </message>
    <message>
        <source>接收</source>
        <translation>Received</translation>
    </message>
    <message>
        <source>正常</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>CRC 错误</source>
        <translation>CRC error</translation>
    </message>
    <message>
        <source>异常 %1 %2</source>
        <translation>exception %1 %2</translation>
    </message>
    <message>
        <source>不完整（%1/%2 字节）</source>
        <translation>incomplete (%1/%2 bytes)</translation>
    </message>
    <message>
        <source>不符</source>
        <translation>mismatch</translation>
    </message>
    <message>
        <source>无应答</source>
        <translation>no reply</translation>
    </message>
    <message>
        <source>未请求</source>
        <translation>unasked</translation>
    </message>
    <message>
        <source>端口丢失</source>
        <translation>port lost</translation>
    </message>
    <message>
        <source>%1 字节</source>
        <translation>%1 bytes</translation>
    </message>
    <message>
        <source>通过站号 250 读设备地址</source>
        <translation>read the station address through station 250</translation>
    </message>
    <message>
        <source>从站 %1 读 %2 个寄存器，起始地址 %3</source>
        <translation>read %2 registers of station %1 from address %3</translation>
    </message>
    <message>
        <source>通过站号 %1 写%2 %3</source>
        <translation>write %2 %3 through station %1</translation>
    </message>
    <message>
        <source>将从站 %1 的地址改为 %2</source>
        <translation>change the address of station %1 to %2</translation>
    </message>
    <message>
        <source>向从站 %1 的寄存器 %2 写入 %3</source>
        <translation>write %3 to register %2 of station %1</translation>
    </message>
    <message>
        <source>从站 %1 功能码 %2</source>
        <translation>station %1, function %2</translation>
    </message>
    <message>
        <source>异常 %1：%2</source>
        <translation>exception %1: %2</translation>
    </message>
    <message>
        <source>校验不符，内容不可信</source>
        <translation>checksum does not match: the content cannot be trusted</translation>
    </message>
    <message>
        <source>收到 %1 字节，应为 %2 字节</source>
        <translation>%1 bytes received, %2 expected</translation>
    </message>
    <message>
        <source>下一请求前无应答，等待 %1 ms</source>
        <translation>no reply before the next request, after %1 ms</translation>
    </message>
    <message>
        <source>%1 ms 内无应答</source>
        <translation>no reply within %1 ms</translation>
    </message>
    <message>
        <source>没有请求时收到的数据</source>
        <translation>data received with no request outstanding</translation>
    </message>
    <message>
        <source>串口设备已断开</source>
        <translation>serial device disconnected</translation>
    </message>
    <message>
        <source>迟到</source>
        <translation>Late</translation>
    </message>
    <message>
        <source>第 %1 帧请求的应答，在下一请求发出后才到达</source>
        <translation>Answer to the request in row %1, arrived after the next request went out</translation>
    </message>
    <message>
        <source>网络连接已断开</source>
        <translation>Network connection lost</translation>
    </message>
</context>
<context>
    <name>kv::TrafficLog</name>
    <message>
        <source>时间	间隔 (ms)	方向	长度	数据（十六进制）	判断	含义</source>
        <translation>Time	Gap (ms)	Direction	Length	Data (hex)	Verdict	Meaning</translation>
    </message>
    <message>
        <source>请求</source>
        <translation>Requests</translation>
    </message>
    <message>
        <source>正常</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>无应答</source>
        <translation>No reply</translation>
    </message>
    <message>
        <source>不完整</source>
        <translation>Incomplete</translation>
    </message>
    <message>
        <source>CRC 错误</source>
        <translation>CRC errors</translation>
    </message>
    <message>
        <source>异常</source>
        <translation>Exceptions</translation>
    </message>
    <message>
        <source>不符</source>
        <translation>Mismatched</translation>
    </message>
    <message>
        <source>未请求</source>
        <translation>Unasked</translation>
    </message>
    <message>
        <source>端口丢失</source>
        <translation>Port lost</translation>
    </message>
    <message>
        <source>丢失率 %1 %</source>
        <translation>Loss %1 %</translation>
    </message>
    <message>
        <source>响应时间 最小/中位/95%/最大 %1 / %2 / %3 / %4 ms</source>
        <translation>Response time min/median/95%/max %1 / %2 / %3 / %4 ms</translation>
    </message>
    <message>
        <source>&#x3000;</source>
        <comment>between the figures of the statistics</comment>
        <translation>   </translation>
    </message>
    <message>
        <source>迟到</source>
        <translation>Late</translation>
    </message>
</context>
<context>
    <name>kv::TrafficLogModel</name>
    <message>
        <source>时间是数据到达本程序的时刻。USB 转换器按块转交数据（由其延迟计时器决定），所以经由这类转换器看不到小于 1 毫秒的间隔。</source>
        <translation>The time is when the data reached this program. USB adapters hand data over in blocks (as their latency timer decides), so through such an adapter no gap shorter than 1 ms can be seen.</translation>
    </message>
    <message>
        <source>时间</source>
        <translation>Time</translation>
    </message>
    <message>
        <source>间隔 (ms)</source>
        <translation>Gap (ms)</translation>
    </message>
    <message>
        <source>方向</source>
        <translation>Direction</translation>
    </message>
    <message>
        <source>长度</source>
        <translation>Length</translation>
    </message>
    <message>
        <source>数据（十六进制）</source>
        <translation>Data (hex)</translation>
    </message>
    <message>
        <source>判断</source>
        <translation>Verdict</translation>
    </message>
    <message>
        <source>含义</source>
        <translation>Meaning</translation>
    </message>
</context>
<context>
    <name>kv::TrafficLogWindow</name>
    <message>
        <source>通信记录</source>
        <translation>Traffic Log</translation>
    </message>
    <message>
        <source>重置</source>
        <translation>Reset</translation>
    </message>
    <message>
        <source>统计从零开始，记录保留</source>
        <translation>Start the statistics from zero; the log is kept</translation>
    </message>
    <message>
        <source>方向</source>
        <translation>Direction</translation>
    </message>
    <message>
        <source>长度</source>
        <translation>Length</translation>
    </message>
    <message>
        <source>工具</source>
        <translation>Tools</translation>
    </message>
    <message>
        <source>暂停</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>暂停显示；通信照常记录和统计，继续时补上</source>
        <translation>Pause the display; the traffic is still logged and counted, and shown when you resume</translation>
    </message>
    <message>
        <source>清除</source>
        <translation>Clear</translation>
    </message>
    <message>
        <source>清空记录；统计保留</source>
        <translation>Empty the log; the statistics are kept</translation>
    </message>
    <message>
        <source>只看问题</source>
        <translation>Problems only</translation>
    </message>
    <message>
        <source>只显示有问题的帧和它们所应答的请求</source>
        <translation>Show only the frames with a problem and the requests they answer</translation>
    </message>
    <message>
        <source>复制</source>
        <translation>Copy</translation>
    </message>
    <message>
        <source>将选中的行作为文本复制</source>
        <translation>Copy the selected rows as text</translation>
    </message>
    <message>
        <source>保存…</source>
        <translation>Save…</translation>
    </message>
    <message>
        <source>将整个记录保存为 CSV 或文本文件</source>
        <translation>Save the whole log as a CSV or text file</translation>
    </message>
    <message>
        <source>继续</source>
        <translation>Resume</translation>
    </message>
    <message>
        <source>CSV 文件 (*.csv)</source>
        <translation>CSV files (*.csv)</translation>
    </message>
    <message>
        <source>文本文件 (*.txt)</source>
        <translation>Text files (*.txt)</translation>
    </message>
    <message>
        <source>通信记录-%1.csv</source>
        <translation>traffic-log-%1.csv</translation>
    </message>
    <message>
        <source>保存通信记录</source>
        <translation>Save Traffic Log</translation>
    </message>
    <message>
        <source>无法保存到 %1：%2
通信记录没有丢失，可以另选位置再保存。</source>
        <translation>Cannot save to %1: %2
The log is not lost: you can save it somewhere else.</translation>
    </message>
    <message>
        <source>已将 %1 帧保存到 %2</source>
        <translation>Saved %1 frames to %2</translation>
    </message>
    <message>
        <source>共 %1 帧</source>
        <translation>%1 frames</translation>
    </message>
    <message>
        <source>，显示其中 %1 行</source>
        <translation>, %1 rows shown</translation>
    </message>
    <message>
        <source>；已暂停，%1 帧待显示</source>
        <translation>; paused, %1 frames waiting</translation>
    </message>
    <message>
        <source>；已有 %1 帧最早的记录超出 %2 帧的上限而移除</source>
        <translation>; the %1 oldest frames were removed beyond the limit of %2</translation>
    </message>
</context>
<context>
    <name>kv::frmMain</name>
    <message>
        <source>数据采集通讯状态指示</source>
        <translation>Link status of the data exchange</translation>
    </message>
    <message>
        <source>KV9240B 温湿度传感器工具软件V14.11.13</source>
        <translation>KV9240B Temperature and Humidity Sensor Tool V14.11.13</translation>
    </message>
    <message>
        <source>串口设置</source>
        <translation>Serial port</translation>
    </message>
    <message>
        <source>MODBUS设置</source>
        <translation>MODBUS request</translation>
    </message>
    <message>
        <source>设备地址修改操作</source>
        <translation>Device address</translation>
    </message>
    <message>
        <source>数据及参数查询</source>
        <translation>Data and parameters</translation>
    </message>
    <message>
        <source>串口号</source>
        <translation>Port</translation>
    </message>
    <message>
        <source>波特率</source>
        <translation>Baud</translation>
    </message>
    <message>
        <source>校验位</source>
        <translation>Parity</translation>
    </message>
    <message>
        <source>无校验</source>
        <translation>None</translation>
    </message>
    <message>
        <source>数据位</source>
        <translation>Data</translation>
    </message>
    <message>
        <source>停止位</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>打开串口</source>
        <translation>Open port</translation>
    </message>
    <message>
        <source>关闭串口</source>
        <translation>Close port</translation>
    </message>
    <message>
        <source>串口发送数据</source>
        <translation>Data sent</translation>
    </message>
    <message>
        <source>串口接收数据</source>
        <translation>Data received</translation>
    </message>
    <message>
        <source>成功接收/循环 计数</source>
        <translation>Replies / polls</translation>
    </message>
    <message>
        <source>适用产品型号</source>
        <translation>For the models</translation>
    </message>
    <message>
        <source>设备地址</source>
        <translation>Station</translation>
    </message>
    <message>
        <source>功 能 码</source>
        <translation>Function</translation>
    </message>
    <message>
        <source>超始地址</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>数据长度</source>
        <translation>Length</translation>
    </message>
    <message>
        <source>地址       </source>
        <translation>Address</translation>
    </message>
    <message>
        <source>执行</source>
        <translation>Apply</translation>
    </message>
    <message>
        <source>读地址</source>
        <translation>Read address</translation>
    </message>
    <message>
        <source>KV9240B通过产品内部拔码开关修改地址</source>
        <translation>KV9240B: the address is changed with the DIP switch inside</translation>
    </message>
    <message>
        <source>温度值</source>
        <translation>Temperature</translation>
    </message>
    <message>
        <source>湿度值</source>
        <translation>Humidity</translation>
    </message>
    <message>
        <source>温度误差校准</source>
        <translation>Temp. offset</translation>
    </message>
    <message>
        <source>设置</source>
        <translation>Set</translation>
    </message>
    <message>
        <source>值范围为：-10.00到10.00</source>
        <translation>Range: -10.00 to 10.00</translation>
    </message>
    <message>
        <source>湿度误差校准</source>
        <translation>Humid. offset</translation>
    </message>
    <message>
        <source>值:2400,4800,9600,19200</source>
        <translation>2400,4800,9600,19200</translation>
    </message>
    <message>
        <source>值范围为：1，2，4，8</source>
        <translation>Range: 1, 2, 4, 8</translation>
    </message>
    <message>
        <source>值范围为：4000-4095</source>
        <translation>Range: 4000-4095</translation>
    </message>
    <message>
        <source>DA输出最小值</source>
        <translation>DA output min.</translation>
    </message>
    <message>
        <source>值范围为：750-9000</source>
        <translation>Range: 750-9000</translation>
    </message>
    <message>
        <source>定时时长(ms)</source>
        <translation>Period (ms)</translation>
    </message>
    <message>
        <source>单次</source>
        <translation>Once</translation>
    </message>
    <message>
        <source>循环</source>
        <translation>Poll</translation>
    </message>
    <message>
        <source>停止</source>
        <translation>Stop</translation>
    </message>
</context>
</TS>
