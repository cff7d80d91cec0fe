// SPDX-License-Identifier: GPL-3.0-or-later
#include "bench/server/tests/FakeChatServer.h"

#include "common/ZindleDivideCombine.h"
#include "common/ZindleFraming.h"
#include "common/ZindleMessages.h"

#include <arpa/inet.h>
#include <chrono>
#include <map>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace loadgen::test {

namespace msg = ZindleMessages;

FakeChatServer::FakeChatServer() : FakeChatServer(Behaviour{}) {}

FakeChatServer::FakeChatServer(Behaviour behaviour) : behaviour_(std::move(behaviour)) {
    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(listenFd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    ::listen(listenFd_, 128);
    socklen_t len = sizeof addr;
    ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
    thread_ = std::thread([this] { Serve(); });
}

FakeChatServer::~FakeChatServer() {
    stop_ = true;
    thread_.join();
    ::close(listenFd_);
}

namespace {

struct Peer {
    int fd = -1;
    int slot = 0;
    std::string nickname;
    ZindleWire::MessageBuffer buffer;
};

// Blocking write of everything; the peers are our own test clients, which read.
void WriteAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (done < bytes.size() && std::chrono::steady_clock::now() < deadline) {
        pollfd p{fd, POLLOUT, 0};
        if (::poll(&p, 1, 100) <= 0)
            continue;
        const ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n <= 0)
            return;
        done += static_cast<std::size_t>(n);
    }
}

} // namespace

void FakeChatServer::Serve() {
    std::map<int, Peer> peers; // by slot
    std::vector<int> loggedIn;
    int nextSlot = 1;
    std::uint64_t relayed = 0;
    char buffer[64 * 1024];
    while (!stop_) {
        std::vector<pollfd> fds{{listenFd_, POLLIN, 0}};
        for (auto& [slot, peer] : peers)
            fds.push_back({peer.fd, POLLIN, 0});
        if (::poll(fds.data(), fds.size(), 20) <= 0)
            continue;
        if (fds[0].revents & POLLIN) {
            const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd >= 0) {
                Peer& p = peers[nextSlot];
                p.fd = fd;
                p.slot = nextSlot++;
            }
        }
        for (std::size_t i = 1; i < fds.size(); ++i) {
            if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            auto it = peers.begin();
            while (it != peers.end() && it->second.fd != fds[i].fd)
                ++it;
            if (it == peers.end())
                continue;
            Peer& peer = it->second;
            const ssize_t n = ::recv(peer.fd, buffer, sizeof buffer, 0);
            if (n <= 0) {
                ::close(peer.fd);
                std::erase(loggedIn, peer.slot);
                peers.erase(it);
                continue;
            }
            bool closeIt = false;
            peer.buffer.Feed(std::string_view(buffer, static_cast<std::size_t>(n)), [&](std::string_view m) {
                const msg::Message message = msg::Classify(m);
                if (message.kind == msg::Kind::Chat) {
                    ++relayed;
                    if (behaviour_.dropEvery && relayed % behaviour_.dropEvery == 0)
                        return true;
                    const std::string frame = ZindleWire::Frame(m, false);
                    for (int s : loggedIn)
                        WriteAll(peers[s].fd, frame);
                } else if (message.code == msg::kCack) {
                    if (!behaviour_.refuseWith.empty()) {
                        WriteAll(peer.fd, ZindleWire::Frame(msg::BuildErro(behaviour_.refuseWith), true));
                        closeIt = true;
                        return false;
                    }
                    peer.nickname = msg::ParseCack(message.payload).nickname;
                    WriteAll(peer.fd, ZindleWire::Frame(msg::kSack, true));
                } else if (message.code == msg::kAckd) {
                    loggedIn.push_back(peer.slot);
                    std::string out = ZindleWire::Frame(msg::BuildSinf("kamer", "0.2.0004"), true);
                    ZindleWire::AppendFrame(out, msg::BuildMotd(""), true);
                    for (int s : loggedIn) {
                        ZindleWire::AppendFrame(
                            out, msg::BuildUserEntry(msg::kUsrl, s, peers[s].nickname, false), true);
                        if (s != peer.slot)
                            WriteAll(peers[s].fd, ZindleWire::Frame(msg::BuildUserEntry(msg::kUsrn, peer.slot,
                                                                                        peer.nickname, false),
                                                                    true));
                    }
                    WriteAll(peer.fd, out);
                }
                return true;
            });
            if (closeIt) {
                ::close(peer.fd);
                peers.erase(it);
            }
        }
    }
    for (auto& [slot, peer] : peers)
        ::close(peer.fd);
}

} // namespace loadgen::test
