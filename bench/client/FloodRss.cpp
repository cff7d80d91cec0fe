// SPDX-License-Identifier: GPL-3.0-or-later
// zindle_client_floodrss: the receiver's peak memory against a sender that
// never waits for "NEXTCHUNK". The sender is this program again, in a process
// of its own (so that its buffers do not count), on 127.0.0.1; the receiver's
// disk is slowed to about 128 MB/s so that it falls behind.
//
//   zindle_client_floodrss [MiB]          prints one RESULT line
//   zindle_client_floodrss --sender MiB   (the sender; prints its port)
#include "client/filetransfer/FileReceiver.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <arpa/inet.h>
#include <cstdio>
#include <cstring>
#include <netinet/in.h>
#include <string>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

bool WriteAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        data += n;
        size -= std::size_t(n);
    }
    return true;
}

// Blocking: size message, every chunk with its end marker, the end of file.
int Sender(long mib) {
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener, 1) != 0 ||
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return 1;
    std::printf("%d\n", ntohs(address.sin_port));
    std::fflush(stdout);
    const int fd = ::accept(listener, nullptr, nullptr);
    std::string words;
    char buffer[256];
    while (words.find("ACPT") == std::string::npos) {
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0)
            return 1;
        words.append(buffer, std::size_t(n));
    }
    const long long size = mib * 1024 * 1024;
    const std::string head = "FILE" + std::to_string(size);
    std::string chunk(131072, 'z');
    bool ok = WriteAll(fd, head.data(), head.size());
    for (long long left = size; ok && left > 0; left -= 131072) {
        const std::size_t n = std::size_t(std::min<long long>(left, 131072));
        ok = WriteAll(fd, chunk.data(), n) && WriteAll(fd, "CHUNKEND", 8);
    }
    ok = ok && WriteAll(fd, "ENDFILE", 7);
    while (ok && ::recv(fd, buffer, sizeof buffer, 0) > 0) {
    }
    ::close(fd);
    ::close(listener);
    return ok ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 2 && std::strcmp(argv[1], "--sender") == 0)
        return Sender(std::max(1L, std::atol(argv[2])));
    QCoreApplication app(argc, argv);
    const long mib = argc > 1 ? std::max(1L, std::atol(argv[1])) : 256;

    QProcess sender;
    sender.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--sender"), QString::number(mib)});
    if (!sender.waitForReadyRead(5000))
        return 1;
    const quint16 port = quint16(sender.readLine().trimmed().toUInt());

    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("flood.bin"));
    client::FileReceiver receiver;
    receiver.setDiskStandIn([] { QThread::usleep(1000); });
    QElapsedTimer clock;
    clock.start();
    receiver.Start(QStringLiteral("127.0.0.1"), port);
    while (!receiver.connectionOpen() && clock.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    receiver.Accept(target, false);
    while (!receiver.Finished() && clock.elapsed() < 300000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);

    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const bool done = receiver.state() == client::FileReceiver::State::Done;
    std::printf("RESULT mib=%ld done=%d size_ok=%d seconds=%.1f peak_rss_mib=%.1f\n", mib, done ? 1 : 0,
                QFileInfo(target).size() == mib * 1024 * 1024 ? 1 : 0, double(clock.elapsed()) / 1000.0,
                double(usage.ru_maxrss) / 1024.0);
    std::fflush(stdout);
    // The sender waits for the receiver's side to close; its work is done.
    sender.kill();
    sender.waitForFinished(5000);
    return done ? 0 : 1;
}
