#include "ui/single_instance.h"

#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>
#include <unistd.h>

#include "app/corvane_app.h"

namespace {

constexpr int kConnectTimeoutMs = 1000;
constexpr int kWriteTimeoutMs = 1000;
// A copy that is still setting up its socket refuses for a moment; a crashed
// one refuses for good. A few tries tell the two apart.
constexpr int kConnectAttempts = 3;
constexpr unsigned long kRetryPauseMs = 100;

}  // namespace

CSingleInstance::CSingleInstance() = default;

CSingleInstance::~CSingleInstance() { release(); }

QString CSingleInstance::serverName()
{
    const QString name = QString::fromLatin1(cvk::kInstanceName);
    const QString runtimeDir = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtimeDir.isEmpty() && QDir(runtimeDir).exists())
        return QDir::cleanPath(runtimeDir) + QLatin1Char('/') + name;
    return QDir::cleanPath(QDir::tempPath()) + QLatin1Char('/') + name + QLatin1Char('-') +
           QString::number(::getuid());
}

bool CSingleInstance::handOver(const QStringList& arguments)
{
    QLocalSocket socket;
    socket.connectToServer(serverName());
    if (!socket.waitForConnected(kConnectTimeoutMs))
        return false;
    socket.write(arguments.join(QLatin1Char('\n')).toUtf8() + '\n');
    socket.waitForBytesWritten(kWriteTimeoutMs);
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState)
        socket.waitForDisconnected(kWriteTimeoutMs);
    return true;
}

bool CSingleInstance::claim(const QStringList& arguments)
{
    for (int attempt = 0; attempt < kConnectAttempts; ++attempt) {
        if (handOver(arguments))
            return false;
        if (!QFileInfo::exists(serverName()))
            break;
        if (attempt + 1 < kConnectAttempts)
            QThread::msleep(kRetryPauseMs);
    }
    // Nobody answers: a socket left behind by a copy that crashed.
    const QString name = serverName();
    QLocalServer::removeServer(name);
    server_ = std::make_unique<QLocalServer>();
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(name)) {
        // Another copy won the race in the meantime: hand over to it.
        if (handOver(arguments))
            return false;
        // Without a socket this copy still runs, only unreachable.
        qWarning("cvkeys: cannot listen on %s: %s", qPrintable(name), qPrintable(server_->errorString()));
        server_.reset();
        return true;
    }
    QObject::connect(server_.get(), &QLocalServer::newConnection, server_.get(), [this] {
        while (QLocalSocket* client = server_->nextPendingConnection()) {
            // The command line is not used; drain and drop it.
            QObject::connect(client, &QLocalSocket::readyRead, client, [client] { client->readAll(); });
            QObject::connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
            if (handler_)
                handler_();
        }
    });
    return true;
}

void CSingleInstance::release()
{
    if (server_) {
        server_->close();
        server_.reset();
    }
}
