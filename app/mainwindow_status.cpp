// Texts shown for SANE status codes.
#include "mainwindow.h"
#include "scancontroller.h"

#include <sane/sane.h>

namespace {
const QString kMultifeedCodes[] = {QStringLiteral("0x03800755"), QStringLiteral("0x03800756")};
}

QString MainWindow::SaneStatusText(int status, const QString& scanErrorDetail, bool feeder)
{
    QString text;
    switch (status) {
    case SANE_STATUS_GOOD:
        text = tr("正常");
        break;
    case SANE_STATUS_UNSUPPORTED:
        text = tr("设置了不正确的选项(错误码:1)");
        break;
    case SANE_STATUS_CANCELLED:
        text = tr("操作被取消(错误码:2)");
        break;
    case SANE_STATUS_DEVICE_BUSY:
        text = tr("设备忙碌(错误码:3)%1请检查扫描仪是否被占用");
        break;
    case SANE_STATUS_INVAL:
        text = tr("数据不合法(或找不到设备)(错误码:4)");
        break;
    case SANE_STATUS_EOF:
        text = tr("没有更多可用数据(已到达文件尾部)(错误码:5)");
        break;
    case SANE_STATUS_JAMMED:
        if (scanErrorDetail == kMultifeedCodes[0] || scanErrorDetail == kMultifeedCodes[1]) {
            text = tr("检测到多页进纸(错误码:6)%1请取出堵塞的纸张");
        } else {
            text = tr("检测到卡纸(错误码:6)%1请取出堵塞的纸张");
        }
        break;
    case SANE_STATUS_NO_DOCS:
        // No feeder ran empty: the flatbed gave no image (the device ended
        // the page before its first byte, or found no document).
        text = feeder ? tr("进纸器没有纸张(错误码:7)%1请放入纸张")
                      : tr("平板没有扫描到图像(错误码:7)%1请将文稿放好后重新扫描");
        break;
    case SANE_STATUS_COVER_OPEN:
        text = tr("进纸器被打开(错误码:8)%1请关闭进纸器");
        break;
    case SANE_STATUS_IO_ERROR:
        text = tr(
            "设备在输入/"
            "输出过程中出现错误(错误码:9)%1请打开进纸器并清洁传感器%1或确认运输锁开关已解锁%1或重启扫描仪");
        break;
    case SANE_STATUS_NO_MEM:
        text = tr("扫描过程中内存不足(错误码:10)");
        break;
    case SANE_STATUS_ACCESS_DENIED:
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
    return SaneStatusText(status, m_scan->ErrorDetail());
}
