#pragma once
// One running copy per user. The first copy listens on a local socket named
// after the program's fixed instance name; a later copy connects, hands over
// its command line and ends, and the first brings its window back.

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class QLocalServer;

class CSingleInstance {
public:
    CSingleInstance();
    ~CSingleInstance();
    CSingleInstance(const CSingleInstance&) = delete;
    CSingleInstance& operator=(const CSingleInstance&) = delete;

    // The socket's full path: inside $XDG_RUNTIME_DIR (per user, mode 0700)
    // when set, else in the temporary folder with the user id appended.
    static QString serverName();

    // True when this process is now the first copy and listens; false when
    // another copy answered and has been handed `arguments`.
    bool claim(const QStringList& arguments);

    // Called in the first copy whenever a later copy started.
    void onActivation(std::function<void()> handler) { handler_ = std::move(handler); }

    // Stops listening and removes the socket, so that a copy started from
    // here becomes the first one.
    void release();

private:
    bool handOver(const QStringList& arguments);

    std::unique_ptr<QLocalServer> server_;
    std::function<void()> handler_;
};
