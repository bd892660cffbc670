// Texts shown for SANE status codes.
#include "mainwindow.h"

namespace {
const QString kMultifeedCodes[] = {QStringLiteral("0x03800755"), QStringLiteral("0x03800756")};
}

QString MainWindow::SaneStatusText(int status, const QString& scanErrorDetail)
{
    QString text;
    switch (status) {
    case 0:
        text = tr("正常");
        break;
    case 1:
        text = tr("设置了不正确的选项(错误码:1)");
        break;
    case 2:
        text = tr("操作被取消(错误码:2)");
        break;
    case 3:
        text = tr("设备忙碌(错误码:3)%1请检查扫描仪是否被占用");
        break;
    case 4:
        text = tr("数据不合法(或找不到设备)(错误码:4)");
        break;
    case 5:
        text = tr("没有更多可用数据(已到达文件尾部)(错误码:5)");
        break;
    case 6:
        if (scanErrorDetail == kMultifeedCodes[0] || scanErrorDetail == kMultifeedCodes[1]) {
            text = tr("检测到多页进纸(错误码:6)%1请取出堵塞的纸张");
        } else {
            text = tr("检测到卡纸(错误码:6)%1请取出堵塞的纸张");
        }
        break;
    case 7:
        text = tr("进纸器没有纸张(错误码:7)%1请放入纸张");
        break;
    case 8:
        text = tr("进纸器被打开(错误码:8)%1请关闭进纸器");
        break;
    case 9:
        text = tr(
            "设备在输入/"
            "输出过程中出现错误(错误码:9)%1请打开进纸器并清洁传感器%1或确认运输锁开关已解锁%1或重启扫描仪");
        break;
    case 10:
        text = tr("扫描过程中内存不足(错误码:10)");
        break;
    case 11:
        text = tr("无法读写文件(错误码:11)%1请确认文件保存路径有读写权限");
        break;
    default:
        return tr("未知错误");
    }
    if (!text.contains(QLatin1String("%1"))) {
        return text;
    }
    return text.arg(QStringLiteral("\r\n"));
}

QString MainWindow::GetSaneStatus(int status) const
{
    return SaneStatusText(status, m_scanErrorDetail);
}
