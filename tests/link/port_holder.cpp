// Holds a serial port open, as another program would, until its standard input closes.
#include <QCoreApplication>
#include <QSerialPort>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QSerialPort port(QString::fromLocal8Bit(argc > 1 ? argv[1] : ""));
    std::puts(port.open(QIODevice::ReadWrite) ? "held" : qPrintable(port.errorString()));
    std::fflush(stdout);
    while (std::getchar() != EOF) {
    }
}
