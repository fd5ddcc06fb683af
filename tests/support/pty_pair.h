// A pseudo-terminal for the serial tests: the test holds the device side (the master), the port
// opens the other end by its path.
#pragma once

#include "tests/support/pump.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>
#include <fcntl.h>
#include <functional>
#include <poll.h>
#include <stdexcept>
#include <stdlib.h>
#include <unistd.h>

class TPtyPair
{
public:
    TPtyPair()
    {
        FMaster = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (FMaster < 0 || grantpt(FMaster) != 0 || unlockpt(FMaster) != 0)
            throw std::runtime_error("no pty");
        FPath = QString::fromLocal8Bit(ptsname(FMaster));
        fcntl(FMaster, F_SETFL, fcntl(FMaster, F_GETFL) | O_NONBLOCK);
    }
    ~TPtyPair() { Hangup(); }
    TPtyPair(const TPtyPair&) = delete;
    TPtyPair& operator=(const TPtyPair&) = delete;

    // The device goes away: the port sees a hang-up.
    void Hangup()
    {
        if (FMaster >= 0)
            close(FMaster);
        FMaster = -1;
    }

    const QString& Path() const { return FPath; }
    int Master() const { return FMaster; }

    void Send(const QByteArray& Bytes) const
    {
        qsizetype Done = 0;
        while (Done < Bytes.size()) {
            ssize_t N = write(FMaster, Bytes.constData() + Done, size_t(Bytes.size() - Done));
            if (N > 0)
                Done += N;
            else
                usleep(1000);
        }
    }

    // What arrived at the device side within TimeoutMs, up to Max bytes.
    QByteArray Receive(int Max, int TimeoutMs = 1000) const
    {
        QByteArray Got;
        QElapsedTimer T;
        T.start();
        while (Got.size() < Max && T.elapsed() < TimeoutMs) {
            pollfd P{FMaster, POLLIN, 0};
            if (poll(&P, 1, 20) == 1 && (P.revents & POLLIN)) {
                char Buf[4096];
                ssize_t N = read(FMaster, Buf, std::min<size_t>(sizeof Buf, size_t(Max - Got.size())));
                if (N > 0)
                    Got.append(Buf, N);
            }
        }
        return Got;
    }

private:
    int FMaster = -1;
    QString FPath;
};

