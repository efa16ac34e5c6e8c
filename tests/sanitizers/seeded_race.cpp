// A race in our own code that Qt's event loop calls into, on purpose: the
// ThreadSanitizer pass must report it through the suppressions that hide
// Qt's own internals (tsan.supp). Built in the tsan preset only.

#include <QCoreApplication>
#include <QTimer>
#include <thread>

namespace {
int shared = 0;
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    std::thread other([] {
        for (int i = 0; i < 100000; ++i)
            shared = shared + 1;
    });
    QTimer::singleShot(0, &app, [&app] {
        for (int i = 0; i < 100000; ++i)
            shared = shared + 1;
        app.quit();
    });
    app.exec();
    other.join();
    return 0;
}
