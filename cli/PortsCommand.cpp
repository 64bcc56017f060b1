#include "cli/Commands.h"

#include "cli/Console.h"
#include "device/wire/PortPath.h"

#include <QFileInfo>
#include <QSerialPortInfo>

namespace cli {

namespace {

QString Known(const QString& text)
{
    return text.isEmpty() ? QStringLiteral("-") : text;
}

QString PortLine(int number, const QString& device, const QString& source, const QSerialPortInfo* info)
{
    QString usb = QStringLiteral("-");
    if (info && info->hasVendorIdentifier() && info->hasProductIdentifier())
        usb = QStringLiteral("%1:%2")
                  .arg(info->vendorIdentifier(), 4, 16, QLatin1Char('0'))
                  .arg(info->productIdentifier(), 4, 16, QLatin1Char('0'));
    return QStringLiteral("COM%1\t%2\t%3\t%4\t%5\t%6")
        .arg(number)
        .arg(device, source, Known(info ? info->description() : QString()),
             Known(info ? info->manufacturer() : QString()), usb);
}

}  // namespace

int ListPorts()
{
    const QList<QSerialPortInfo> infos = QSerialPortInfo::availablePorts();
    int listed = 0;
#ifdef _WIN32
    for (const QSerialPortInfo& info : infos) {
        const QString name = info.portName();
        bool ok = false;
        const int number = name.startsWith(QLatin1String("COM")) ? name.mid(3).toInt(&ok) : 0;
        if (!ok || number <= 0)
            continue;
        PrintResult(PortLine(number, info.systemLocation(), QStringLiteral("system"), &info));
        ++listed;
    }
#else
    for (int number = 1; number <= 999; ++number) {
        const QByteArray name = "\\\\.\\COM" + QByteArray::number(number);
        const QByteArray device = ResolvePortPath(name.constData());
        if (device.isEmpty())
            continue;
        const bool alias = device != PortTablePath(number);
        const QString canonical = QFileInfo(QString::fromLocal8Bit(device)).canonicalFilePath();
        const QSerialPortInfo* info = nullptr;
        for (const QSerialPortInfo& candidate : infos) {
            if (QFileInfo(candidate.systemLocation()).canonicalFilePath() == canonical)
                info = &candidate;
        }
        // A table entry counts only where the system knows a serial port
        // behind it; an alias always names a device (it was checked).
        if (!alias && (canonical.isEmpty() || !info))
            continue;
        PrintResult(PortLine(number, QString::fromLocal8Bit(device),
                             alias ? QStringLiteral("alias") : QStringLiteral("table"), info));
        ++listed;
    }
#endif
    if (listed == 0) {
        PrintFailure(QStringLiteral("no COM port names a device on this machine"));
        return ExitDevice;
    }
    return ExitDone;
}

}  // namespace cli
