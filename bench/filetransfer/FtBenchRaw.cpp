// SPDX-License-Identifier: GPL-3.0-or-later
// The ceiling of the file transfer's lock-step exchange, without Qt: the
// fetcher asks with 9 bytes, the server answers with 131072 file bytes plus an
// 8-byte marker in one write (the rest and "ENDFILE" at the end); the fetcher
// asks again as soon as the marker is in, then writes the block to its file.
//   ft_bench_raw serve <file> <nodelay 0|1>          prints "PORT <n>", serves one fetcher
//   ft_bench_raw fetch <port> <target> <nodelay 0|1> <size> [sync 0|1]
//                                                    prints bytes, seconds and MB/s; with sync the
//                                                    file is flushed to disk before the time stops,
//                                                    as the client's receiver does
#include "BenchMemory.h"

#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr size_t kChunk = 131072;
constexpr char kMarker[] = "CHUNKEND";
constexpr char kEnd[] = "ENDFILE";
constexpr char kRequest[] = "NEXTCHUNK";

[[noreturn]] void Die(const char* what) {
    std::perror(what);
    std::exit(1);
}

bool ReadExactly(int fd, char* buf, size_t n) {
    while (n > 0) {
        const ssize_t r = ::read(fd, buf, n);
        if (r <= 0)
            return false;
        buf += r;
        n -= size_t(r);
    }
    return true;
}

bool WriteAll(int fd, const char* buf, size_t n) {
    while (n > 0) {
        const ssize_t w = ::write(fd, buf, n);
        if (w <= 0)
            return false;
        buf += w;
        n -= size_t(w);
    }
    return true;
}

void SetNoDelay(int fd, bool on) {
    const int flag = on ? 1 : 0;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &flag, sizeof flag);
}

int Serve(const char* path, bool noDelay) {
    const int file = ::open(path, O_RDONLY);
    if (file < 0)
        Die("open");
    const off_t size = ::lseek(file, 0, SEEK_END);
    ::lseek(file, 0, SEEK_SET);
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(listener, 1) != 0)
        Die("listen");
    socklen_t len = sizeof addr;
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &len);
    std::printf("PORT %u\n", unsigned(ntohs(addr.sin_port)));
    std::fflush(stdout);
    const int conn = ::accept(listener, nullptr, nullptr);
    if (conn < 0)
        Die("accept");
    ::close(listener);
    SetNoDelay(conn, noDelay);
    std::vector<char> block(kChunk + sizeof kMarker);
    char request[sizeof kRequest - 1];
    off_t sent = 0;
    // One request per answer; the file size bounds the loop.
    while (ReadExactly(conn, request, sizeof request)) {
        if (sent == size) {
            WriteAll(conn, kEnd, sizeof kEnd - 1);
            break;
        }
        const size_t n = size_t(std::min<off_t>(off_t(kChunk), size - sent));
        if (!ReadExactly(file, block.data(), n))
            Die("read");
        std::memcpy(block.data() + n, kMarker, sizeof kMarker - 1);
        if (!WriteAll(conn, block.data(), n + sizeof kMarker - 1))
            Die("write");
        sent += off_t(n);
    }
    ::close(conn);
    ::close(file);
    std::printf("serve ok peak_rss_kib %ld cpu_s %.3f\n", PeakRssKiB(), CpuSeconds());
    return 0;
}

int Fetch(int port, const char* target, bool noDelay, long long size, bool sync) {
    const int out = ::open(target, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out < 0)
        Die("open target");
    const int conn = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(uint16_t(port));
    if (::connect(conn, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0)
        Die("connect");
    SetNoDelay(conn, noDelay);
    std::vector<char> block(kChunk + sizeof kMarker);
    const auto start = std::chrono::steady_clock::now();
    long long got = 0;
    WriteAll(conn, kRequest, sizeof kRequest - 1);
    while (got < size) {
        const size_t n = size_t(std::min<long long>(kChunk, size - got));
        if (!ReadExactly(conn, block.data(), n + sizeof kMarker - 1))
            Die("short read");
        WriteAll(conn, kRequest, sizeof kRequest - 1); // ask before writing, as the client does
        if (!WriteAll(out, block.data(), n))
            Die("write target");
        got += (long long)n;
    }
    char end[sizeof kEnd - 1];
    ReadExactly(conn, end, sizeof end);
    if (sync && ::fdatasync(out) != 0)
        Die("fdatasync");
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ::close(conn);
    ::close(out);
    std::printf("fetch bytes %lld seconds %.3f MBps %.1f\n", got, seconds, got / 1048576.0 / seconds);
    std::printf("fetch ok peak_rss_kib %ld cpu_s %.3f\n", PeakRssKiB(), CpuSeconds());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "serve")
        return Serve(argv[2], std::atoi(argv[3]) != 0);
    if ((argc == 6 || argc == 7) && std::string(argv[1]) == "fetch")
        return Fetch(std::atoi(argv[2]), argv[3], std::atoi(argv[4]) != 0, std::atoll(argv[5]),
                     argc == 7 && std::atoi(argv[6]) != 0);
    std::fprintf(stderr, "usage: %s serve <file> <nodelay> | fetch <port> <target> <nodelay> <size> [sync]\n",
                 argv[0]);
    return 2;
}
