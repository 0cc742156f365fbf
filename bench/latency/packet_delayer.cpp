// Holds every packet of one netfilter queue for a fixed time, then lets it go: a wire of
// chosen latency on a network namespace's loopback (this machine's kernel has no netem).
//
//     velmo_packet_delayer QUEUE ONE_WAY_MS
//
// An iptables rule on the namespace's loopback (see delayed_loopback.sh) queues every
// packet at its output; each is accepted ONE_WAY_MS after this program read it, so a
// round trip costs twice that. Packets are released in the order they came, which is the
// order of their ids, so one batch verdict lets go of everything up to the newest due
// packet. The program prints one "ready" line once the queue is bound, and on SIGTERM or
// SIGINT a summary: how many packets it held, how many went out over 1 ms past their time
// and how late the latest one was (a loaded machine shows there, and a figure taken then
// is to be doubted).
//
// It runs with a real-time priority when it may: the wire must not wait for the other
// processes of a shared machine. It only sleeps between packets, so it cannot starve them.
#include <libnetfilter_queue/libnetfilter_queue.h>
#include <linux/netfilter.h>
#include <linux/netlink.h>
#include <endian.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <deque>

namespace {

constexpr std::uint32_t queueLength = 65536;
constexpr int receiveBufferBytes = 16 << 20;

std::int64_t nowNs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<std::int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

struct Held {
    std::int64_t dueNs;
    std::uint32_t id;
};

struct Delayer {
    std::int64_t delayNs = 0;
    std::deque<Held> held;
    std::uint64_t packets = 0;
    std::uint64_t lateOverMs = 0;  // released more than 1 ms after their time
    std::int64_t worstLatenessNs = 0;
};

int onPacket(nfq_q_handle*, nfgenmsg*, nfq_data* packet, void* data) {
    auto* d = static_cast<Delayer*>(data);
    const nfqnl_msg_packet_hdr* header = nfq_get_msg_packet_hdr(packet);
    if (!header) return 0;
    d->held.push_back({nowNs() + d->delayNs, be32toh(header->packet_id)});
    ++d->packets;
    return 0;
}

// Lets go of every packet whose time has come; gives the wait until the next one is due
// (-1: none held).
std::int64_t releaseDue(Delayer& d, nfq_q_handle* queue) {
    const std::int64_t now = nowNs();
    bool any = false;
    std::uint32_t last = 0;
    while (!d.held.empty() && d.held.front().dueNs <= now) {
        const std::int64_t late = now - d.held.front().dueNs;
        if (late > d.worstLatenessNs) d.worstLatenessNs = late;
        if (late > 1000000) ++d.lateOverMs;
        last = d.held.front().id;
        any = true;
        d.held.pop_front();
    }
    if (any && nfq_set_verdict_batch(queue, last, NF_ACCEPT) < 0)
        std::fprintf(stderr, "packet_delayer: verdict failed: %s\n", std::strerror(errno));
    return d.held.empty() ? -1 : d.held.front().dueNs - now;
}

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "packet_delayer: %s: %s\n", what, std::strerror(errno));
    std::exit(1);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s QUEUE ONE_WAY_MS\n", argv[0]);
        return 2;
    }
    const int queueNumber = std::atoi(argv[1]);
    const double oneWayMs = std::atof(argv[2]);
    if (queueNumber < 0 || queueNumber > 65535 || oneWayMs < 0) {
        std::fprintf(stderr, "packet_delayer: bad queue or delay\n");
        return 2;
    }
    Delayer delayer;
    delayer.delayNs = static_cast<std::int64_t>(oneWayMs * 1e6);

    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    sigprocmask(SIG_BLOCK, &stopSignals, nullptr);
    const int stopFd = signalfd(-1, &stopSignals, SFD_CLOEXEC);
    if (stopFd < 0) fail("signalfd");

    sched_param priority{};
    priority.sched_priority = 10;
    const bool realTime = sched_setscheduler(0, SCHED_FIFO, &priority) == 0;

    nfq_handle* handle = nfq_open();
    if (!handle) fail("nfq_open");
    nfq_q_handle* queue = nfq_create_queue(handle, static_cast<std::uint16_t>(queueNumber), onPacket, &delayer);
    if (!queue) fail("nfq_create_queue");
    if (nfq_set_mode(queue, NFQNL_COPY_META, 0) < 0) fail("nfq_set_mode");
    if (nfq_set_queue_maxlen(queue, queueLength) < 0) fail("nfq_set_queue_maxlen");
    // Fail open: a full queue lets packets pass rather than dropping them. GSO: loopback's
    // large segments are held whole instead of being cut up for us.
    const std::uint32_t flags = NFQA_CFG_F_FAIL_OPEN | NFQA_CFG_F_GSO;
    if (nfq_set_queue_flags(queue, flags, flags) < 0) fail("nfq_set_queue_flags");
    nfnl_rcvbufsiz(nfq_nfnlh(handle), receiveBufferBytes);
    const int fd = nfq_fd(handle);
    const int on = 1;
    setsockopt(fd, SOL_NETLINK, NETLINK_NO_ENOBUFS, &on, sizeof on);

    std::printf("ready: queue %d, %.3f ms one way%s\n", queueNumber, oneWayMs,
                realTime ? ", real-time priority" : "");
    std::fflush(stdout);

    alignas(8) static char buffer[1 << 17];
    pollfd fds[2] = {{fd, POLLIN, 0}, {stopFd, POLLIN, 0}};
    for (;;) {
        const std::int64_t waitNs = releaseDue(delayer, queue);
        timespec timeout{};
        timeout.tv_sec = waitNs / 1000000000;
        timeout.tv_nsec = waitNs % 1000000000;
        const int ready = ppoll(fds, 2, waitNs < 0 ? nullptr : &timeout, nullptr);
        if (ready < 0) {
            if (errno == EINTR) continue;
            fail("ppoll");
        }
        if (fds[1].revents) break;
        if (!(fds[0].revents & POLLIN)) continue;
        // Everything the kernel has queued so far, each packet noted as it is read.
        for (;;) {
            const ssize_t n = recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
            if (n < 0) {
                if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) break;
                if (errno == ENOBUFS) continue;
                fail("recv");
            }
            nfq_handle_packet(handle, buffer, static_cast<int>(n));
        }
    }
    // Whatever is still held goes now rather than waiting for the queue's removal.
    if (!delayer.held.empty()) nfq_set_verdict_batch(queue, delayer.held.back().id, NF_ACCEPT);
    nfq_destroy_queue(queue);
    nfq_close(handle);
    std::printf("stopped: %llu packets held, %llu of them released over 1 ms late, the latest %.3f ms after its time\n",
                static_cast<unsigned long long>(delayer.packets), static_cast<unsigned long long>(delayer.lateOverMs),
                delayer.worstLatenessNs / 1e6);
    return 0;
}
