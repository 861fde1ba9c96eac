#include "app/control_table.h"

#include <QtGlobal>

#include <array>
#include <cmath>

namespace kv {

namespace {

using K = ControlKind;
constexpr TextColour Black = TextColour::Black;
constexpr TextColour Red = TextColour::Red;
constexpr ControlFont UiFont = ControlFont::Default;
constexpr ControlFont Arial = ControlFont::Arial10_5;
constexpr bool On = true;
constexpr bool Off = false; // not available to the user: shown disabled, never switched on
constexpr std::string_view LampTip = QT_TRANSLATE_NOOP("kv::frmMain", "数据采集通讯状态指示");

// clang-format off
constexpr std::array rows = {
//  name               kind                 index container    left   top   width height text                                                                      colour font    enabled
    ControlRow{"frmMain", K::Window,          -1, "",             0,     0, 9105, 6810, QT_TRANSLATE_NOOP("kv::frmMain", "KV9240B 温湿度传感器工具软件V14.11.13"), Black, UiFont, On},

    ControlRow{"Frame5",  K::GroupBox,        -1, "frmMain",    120,   120, 2415, 6615, QT_TRANSLATE_NOOP("kv::frmMain", "串口设置"),                              Black, UiFont, On},
    ControlRow{"Frame10", K::GroupBox,        -1, "frmMain",   2640,   120, 6375,  735, QT_TRANSLATE_NOOP("kv::frmMain", "MODBUS设置"),                            Black, UiFont, On},
    ControlRow{"Frame12", K::GroupBox,        -1, "frmMain",   2640,   960, 6375, 1215, QT_TRANSLATE_NOOP("kv::frmMain", "设备地址修改操作"),                      Black, UiFont, On},
    ControlRow{"Frame3",  K::GroupBox,        -1, "frmMain",   2640,  2280, 6375, 4455, QT_TRANSLATE_NOOP("kv::frmMain", "数据及参数查询"),                        Black, UiFont, On},

    // Serial port settings
    ControlRow{"Label3",  K::Label,           -1, "Frame5",     360,   240, 1092,  252, QT_TRANSLATE_NOOP("kv::frmMain", "串口号"),                                Black, UiFont, On},
    ControlRow{"Combo1",  K::PickList,        -1, "Frame5",    1080,   240,  855,  300, "COM4",                                                                    Black, UiFont, On},
    ControlRow{"Label5",  K::Label,            2, "Frame5",     360,   600,  612,  252, QT_TRANSLATE_NOOP("kv::frmMain", "波特率"),                                Black, UiFont, On},
    ControlRow{"Combo2",  K::PickList,        -1, "Frame5",    1080,   600,  855,  300, "",                                                                        Black, UiFont, On},
    ControlRow{"Label5",  K::Label,            0, "Frame5",     360,   960,  612,  252, QT_TRANSLATE_NOOP("kv::frmMain", "校验位"),                                Black, UiFont, On},
    ControlRow{"Combo3",  K::PickList,        -1, "Frame5",    1080,   960,  855,  300, QT_TRANSLATE_NOOP("kv::frmMain", "无校验"),                                Black, UiFont, On},
    ControlRow{"Label5",  K::Label,            1, "Frame5",     360,  1320,  612,  252, QT_TRANSLATE_NOOP("kv::frmMain", "数据位"),                                Black, UiFont, On},
    ControlRow{"Combo4",  K::PickList,        -1, "Frame5",    1080,  1320,  855,  300, "8",                                                                       Black, UiFont, On},
    ControlRow{"Label5",  K::Label,            3, "Frame5",     360,  1680,  612,  252, QT_TRANSLATE_NOOP("kv::frmMain", "停止位"),                                Black, UiFont, On},
    ControlRow{"Combo5",  K::PickList,        -1, "Frame5",    1080,  1680,  855,  300, "1",                                                                       Black, UiFont, On},
    ControlRow{"Picture2", K::PictureBox,     -1, "Frame5",     600,  2160,  900,  255, "",                                                                        Black, UiFont, On},
    // Stacked green, yellow, red: the red lamp starts in front.
    ControlRow{"imgConnected", K::Image,      -1, "Picture2",   360,     0,  240,  240, "green",                                                                   Black, UiFont, On, LampTip},
    ControlRow{"ImgYellow", K::Image,         -1, "Picture2",   360,     0,  240,  240, "yellow",                                                                  Black, UiFont, On, LampTip},
    ControlRow{"imgNotConnected", K::Image,   -1, "Picture2",   360,     0,  225,  240, "red",                                                                     Black, UiFont, On, LampTip},
    ControlRow{"cmdCom",  K::Button,          -1, "Frame5",     120,  2520,  975,  375, QT_TRANSLATE_NOOP("kv::frmMain", "打开串口"),                              Black, UiFont, On},
    ControlRow{"Command1", K::Button,         -1, "Frame5",    1320,  2520,  975,  375, QT_TRANSLATE_NOOP("kv::frmMain", "关闭串口"),                              Black, UiFont, On},
    ControlRow{"Label7",  K::Label,           -1, "Frame5",     120,  3000, 1335,  255, QT_TRANSLATE_NOOP("kv::frmMain", "串口发送数据"),                          Black, UiFont, On},
    ControlRow{"txtCommand", K::MultiLineTextBox, -1, "Frame5", 120,  3360, 2175,  435, "",                                                                        Black, UiFont, On},
    ControlRow{"Label1",  K::Label,            0, "Frame5",     120,  3840, 1335,  255, QT_TRANSLATE_NOOP("kv::frmMain", "串口接收数据"),                          Black, UiFont, On},
    ControlRow{"txtState", K::MultiLineTextBox, -1, "Frame5",   120,  4080, 2175,  495, "",                                                                        Black, UiFont, On},
    ControlRow{"Label1",  K::Label,            1, "Frame5",     120,  4680, 1935,  255, QT_TRANSLATE_NOOP("kv::frmMain", "成功接收/循环 计数"),                    Black, UiFont, On},
    ControlRow{"lblErrCounter", K::Label,     -1, "Frame5",     120,  5040,  975,  255, "0",                                                                       Black, UiFont, On},
    ControlRow{"Line1",   K::Line,             0, "Frame5",    1200,  5040, 1080, 5280, "",                                                                        Black, UiFont, On},
    ControlRow{"lblCounter", K::Label,        -1, "Frame5",    1320,  5040,  975,  255, "0",                                                                       Black, UiFont, On},
    ControlRow{"Label1",  K::Label,            2, "Frame5",     120,  5400, 1935,  255, QT_TRANSLATE_NOOP("kv::frmMain", "适用产品型号"),                          Red,   UiFont, On},
    ControlRow{"Label1",  K::Label,            3, "Frame5",     120,  5640, 2055,  255, "KV9240A KV7610B",                                                         Black, UiFont, On},

    // Modbus request fields
    ControlRow{"Label8",  K::Label,            0, "Frame10",    120,   360,  855,  255, QT_TRANSLATE_NOOP("kv::frmMain", "设备地址"),                              Black, UiFont, On},
    ControlRow{"txtStationID", K::TextBox,    -1, "Frame10",    840,   360,  495,  270, "2",                                                                       Black, UiFont, On},
    ControlRow{"Label8",  K::Label,            3, "Frame10",   1560,   360,  855,  255, QT_TRANSLATE_NOOP("kv::frmMain", "功 能 码"),                              Black, UiFont, On},
    ControlRow{"txtFunID", K::TextBox,        -1, "Frame10",   2280,   360,  495,  270, "3",                                                                       Black, UiFont, On},
    ControlRow{"Label8",  K::Label,            1, "Frame10",   2880,   360,  855,  255, QT_TRANSLATE_NOOP("kv::frmMain", "超始地址"),                              Black, UiFont, On},
    ControlRow{"txtStartID", K::TextBox,      -1, "Frame10",   3600,   360,  495,  270, "0",                                                                       Black, UiFont, On},
    ControlRow{"Label8",  K::Label,            2, "Frame10",   4320,   360,  735,  255, QT_TRANSLATE_NOOP("kv::frmMain", "数据长度"),                              Black, UiFont, On},
    ControlRow{"txtDataLength", K::TextBox,   -1, "Frame10",   5040,   360,  495,  270, "8",                                                                       Black, UiFont, On},

    // Device address
    ControlRow{"Label2",  K::Label,            7, "Frame12",    240,   390, 1815,  255, QT_TRANSLATE_NOOP("kv::frmMain", "地址       "),                           Black, UiFont, On},
    ControlRow{"txtSetID", K::TextBox,         0, "Frame12",   1080,   360,  435,  270, "1",                                                                       Black, UiFont, On},
    ControlRow{"txtSetID", K::TextBox,         1, "Frame12",   1920,   360,  555,  270, "1",                                                                       Black, UiFont, Off},
    ControlRow{"cmdChangeID", K::Button,      -1, "Frame12",   2760,   240, 1215,  375, QT_TRANSLATE_NOOP("kv::frmMain", "执行"),                                  Black, UiFont, Off},
    ControlRow{"cmdReadAdd", K::Button,       -1, "Frame12",   4560,   240, 1215,  375, QT_TRANSLATE_NOOP("kv::frmMain", "读地址"),                                Black, UiFont, On},
    ControlRow{"Label2",  K::Label,           13, "Frame12",    240,   840, 5895,  255, QT_TRANSLATE_NOOP("kv::frmMain", "KV9240B通过产品内部拔码开关修改地址"),   Black, UiFont, On},

    // Measurement and parameter rows, one every 360 twips
    ControlRow{"lblDanWei", K::Label,          2, "Frame3",     240,   360, 1395,  300, QT_TRANSLATE_NOOP("kv::frmMain", "温度值"),                                Black, UiFont, On},
    ControlRow{"txtValue", K::TextBox,         0, "Frame3",    1680,   360, 1000,  270, "0",                                                                       Black, UiFont, On},
    ControlRow{"lblDanWei", K::Label,          0, "Frame3",    2760,   360,  855,  255, "℃",                                                                       Red,   Arial,  On},

    ControlRow{"lblDanWei", K::Label,          1, "Frame3",     240,   720, 1395,  300, QT_TRANSLATE_NOOP("kv::frmMain", "湿度值"),                                Black, UiFont, On},
    ControlRow{"txtValue", K::TextBox,         1, "Frame3",    1680,   720, 1000,  270, "0",                                                                       Black, UiFont, On},
    ControlRow{"lblDanWei", K::Label,          3, "Frame3",    2760,   720,  615,  255, "%Rh",                                                                     Red,   Arial,  On},

    ControlRow{"lblDanWei", K::Label,          6, "Frame3",     240,  1080, 1395,  300, QT_TRANSLATE_NOOP("kv::frmMain", "温度误差校准"),                          Black, UiFont, On},
    ControlRow{"txtValue", K::TextBox,         2, "Frame3",    1680,  1080, 1000,  270, "0",                                                                       Black, UiFont, On},
    ControlRow{"cmdSet",  K::Button,           0, "Frame3",    3120,  1080,  855,  275, QT_TRANSLATE_NOOP("kv::frmMain", "设置"),                                  Black, UiFont, On},
    ControlRow{"Label2",  K::Label,            4, "Frame3",    4080,  1080, 2175,  255, QT_TRANSLATE_NOOP("kv::frmMain", "值范围为：-10.00到10.00"),               Red,   UiFont, On},

    ControlRow{"lblDanWei", K::Label,          5, "Frame3",     240,  1440, 1395,  300, QT_TRANSLATE_NOOP("kv::frmMain", "湿度误差校准"),                          Black, UiFont, On},
    ControlRow{"txtValue", K::TextBox,         3, "Frame3",    1680,  1440, 1000,  270, "0",                                                                       Black, UiFont, On},
    ControlRow{"cmdSet",  K::Button,           1, "Frame3",    3120,  1440,  855,  275, QT_TRANSLATE_NOOP("kv::frmMain", "设置"),                                  Black, UiFont, On},
    ControlRow{"Label2",  K::Label,            1, "Frame3",    4080,  1440, 2175,  255, QT_TRANSLATE_NOOP("kv::frmMain", "值范围为：-10.00到10.00"),               Red,   UiFont, On},

    ControlRow{"lblDanWei", K::Label,          7, "Frame3",     240,  1800, 1395,  300, QT_TRANSLATE_NOOP("kv::frmMain", "波特率"),                                Black, UiFont, On},
    ControlRow{"txtValue", K::TextBox,         4, "Frame3",    1680,  1800, 1000,  270, "0",                                                                       Black, UiFont, On},
    ControlRow{"cmdSet",  K::Button,           2, "Frame3",    3120,  1800,  855,  275, QT_TRANSLATE_NOOP("kv::frmMain", "设置"),                                  Black, UiFont, On},
    ControlRow{"Label2",  K::Label,            3, "Frame3",    4080,  1800, 2175,  255, QT_TRANSLATE_NOOP("kv::frmMain", "值:2400,4800,9600,19200"),               Red,   UiFont, On},

    ControlRow{"lblDanWei", K::Label,         12, "Frame3",     240,  2160, 1395,  300, QT_TRANSLATE_NOOP("kv::frmMain", "温度误差校准"),                          Black, UiFont, Off},
    ControlRow{"txtValue", K::TextBox,         5, "Frame3",    1680,  2160, 1000,  270, "0",                                                                       Black, UiFont, Off},
    ControlRow{"cmdSet",  K::Button,           3, "Frame3",    3120,  2160,  855,  275, QT_TRANSLATE_NOOP("kv::frmMain", "设置"),                                  Black, UiFont, Off},
    ControlRow{"Label2",  K::Label,            2, "Frame3",    4080,  2160, 2055,  255, QT_TRANSLATE_NOOP("kv::frmMain", "值范围为：1，2，4，8"),                  Red,   UiFont, Off},

    ControlRow{"lblDanWei", K::Label,          9, "Frame3",     240,  2520, 1395,  300, QT_TRANSLATE_NOOP("kv::frmMain", "湿度误差校准"),                          Black, UiFont, Off},
    ControlRow{"txtValue", K::TextBox,         6, "Frame3",    1680,  2520, 1000,  270, "0",                                                                       Black, UiFont, Off},
    ControlRow{"cmdSet",  K::Button,           4, "Frame3",    3120,  2520,  855,  275, QT_TRANSLATE_NOOP("kv::frmMain", "设置"),                                  Black, UiFont, Off},
    ControlRow{"Label2",  K::Label,            6, "Frame3",    4080,  2520, 2175,  255, QT_TRANSLATE_NOOP("kv::frmMain", "值范围为：4000-4095"),                   Red,   UiFont, Off},

    ControlRow{"lblDanWei", K::Label,         11, "Frame3",     240,  2880, 1395,  300, QT_TRANSLATE_NOOP("kv::frmMain", "DA输出最小值"),                          Black, UiFont, Off},
    ControlRow{"txtValue", K::TextBox,         7, "Frame3",    1680,  2880, 1000,  270, "0",                                                                       Black, UiFont, Off},
    ControlRow{"cmdSet",  K::Button,           5, "Frame3",    3120,  2880,  855,  275, QT_TRANSLATE_NOOP("kv::frmMain", "设置"),                                  Black, UiFont, Off},
    ControlRow{"Label2",  K::Label,            0, "Frame3",    4080,  2880, 2055,  255, QT_TRANSLATE_NOOP("kv::frmMain", "值范围为：750-9000"),                    Red,   UiFont, Off},

    ControlRow{"Line2",   K::Line,            -1, "Frame3",     120,  3480, 6120, 3480, "",                                                                        Black, UiFont, On},
    ControlRow{"Label8",  K::Label,            4, "Frame3",     240,  3840, 1215,  255, QT_TRANSLATE_NOOP("kv::frmMain", "定时时长(ms)"),                          Black, UiFont, On},
    ControlRow{"txtTimerSet", K::TextBox,     -1, "Frame3",    1560,  3840,  615,  270, "1000",                                                                    Black, UiFont, On},
    ControlRow{"comDoOnce", K::Button,        -1, "Frame3",    2880,  3720,  975,  375, QT_TRANSLATE_NOOP("kv::frmMain", "单次"),                                  Black, UiFont, On},
    ControlRow{"cmdOneM", K::Button,          -1, "Frame3",    4020,  3720,  975,  375, QT_TRANSLATE_NOOP("kv::frmMain", "循环"),                                  Black, UiFont, On},
    ControlRow{"cmdStopOnce", K::Button,      -1, "Frame3",    5160,  3720,  855,  375, QT_TRANSLATE_NOOP("kv::frmMain", "停止"),                                  Black, UiFont, On},
};

constexpr std::array<std::string_view, 25> portNames = {
    "COM1",  "COM2",  "COM3",  "COM4",  "COM5",  "COM6",  "COM7",  "COM8",  "COM9",  "COM10", "COM11", "COM12", "COM13",
    "COM14", "COM15", "COM16", "COM17", "COM18", "COM19", "COM20", "COM21", "COM22", "COM23", "COM24", "COM25",
};
// clang-format on
constexpr std::array<std::string_view, 1> parityNames = {QT_TRANSLATE_NOOP("kv::frmMain", "无校验")};
constexpr std::array<std::string_view, 1> dataBitNames = {"8"};
constexpr std::array<std::string_view, 1> stopBitNames = {"1"};

constexpr std::array lists = {
    ListEntries{"Combo1", portNames},
    ListEntries{"Combo3", parityNames},
    ListEntries{"Combo4", dataBitNames},
    ListEntries{"Combo5", stopBitNames},
};

} // namespace

std::span<const ControlRow> controlTable()
{
    return rows;
}

std::span<const ListEntries> listEntriesTable()
{
    return lists;
}

int twipsToPixels(int twips)
{
    return static_cast<int>(std::lround(static_cast<double>(twips) / TwipsPerPixel));
}

} // namespace kv
