#include "PrivateDisplay.h"

#include <csignal>
#include <sys/prctl.h>

PrivateDisplay::PrivateDisplay() {
    server_.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGKILL); });
    // Nobody reads its messages once this process has replaced itself; a full pipe or a closed
    // one must not stop the server.
    server_.setStandardErrorFile(QProcess::nullDevice());
    // -displayfd 1: the server picks a free display and writes its number to standard output.
    server_.start(QStringLiteral("Xvfb"),
                  {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                   QStringLiteral("0"), QStringLiteral("1280x1024x24"), QStringLiteral("-nolisten"),
                   QStringLiteral("tcp")});
    QByteArray number;
    while (!number.endsWith('\n') && server_.waitForReadyRead(10000))
        number += server_.readAllStandardOutput();
    bool ok = false;
    const int display = number.trimmed().toInt(&ok);
    if (!ok)
        return;
    qputenv("DISPLAY", ":" + QByteArray::number(display));
    started_ = true;
}

PrivateDisplay::~PrivateDisplay() {
    server_.terminate();
    if (!server_.waitForFinished(3000))
        server_.kill();
    server_.waitForFinished(3000);
}
