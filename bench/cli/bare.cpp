// The floor for a one-shot command: a QCoreApplication that sends one
// datagram and exits at the first reply.
// Usage: bench_cli_bare PORT HEXFRAME
#include <QCoreApplication>
#include <QHostAddress>
#include <QTimer>
#include <QUdpSocket>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 3)
        return 2;
    QUdpSocket socket;
    socket.connectToHost(QHostAddress(QHostAddress::LocalHost), args.at(1).toUShort());
    QObject::connect(&socket, &QUdpSocket::readyRead, &app, [] { QCoreApplication::exit(0); });
    QTimer::singleShot(2000, &app, [] { QCoreApplication::exit(3); });
    socket.write(QByteArray::fromHex(args.at(2).toLatin1()));
    return app.exec();
}
