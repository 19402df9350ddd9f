#pragma once

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "protocols/connection.h"
#include "protocols/ftp_failure.h"
#include "protocols/ftp_reply.h"

namespace rg {

using FtpClock = std::chrono::steady_clock;
// When a wait gives up; nullopt waits without limit.
using FtpDeadline = std::optional<FtpClock::time_point>;

FtpDeadline ftp_deadline_after(std::optional<std::chrono::milliseconds> span);

struct FtpTimeouts {
    // The connect of the control connection, and the wait for the data connection.
    std::chrono::milliseconds connect{120000};
    // Each line of a reply.
    std::chrono::milliseconds reply_line{6000};
    // Each wait for data on the data connection; nullopt: no limit.
    std::optional<std::chrono::milliseconds> receive{std::chrono::milliseconds(600000)};
};

// How a bounded socket operation ended.
enum class FtpIo { kOk, kTimedOut, kInterrupted, kClosed, kNoSocket, kFailed };

// The FTP client's own state of one Connection: the interruption that other threads may raise,
// the control bytes read ahead of the current reply, and what one transfer has learnt. Made on
// first use and kept for the Connection's life, so another thread can always reach it.
struct FtpRuntime {
  public:
    FtpRuntime();
    ~FtpRuntime();
    FtpRuntime(const FtpRuntime&) = delete;
    FtpRuntime& operator=(const FtpRuntime&) = delete;

    // Any thread: every wait of the owner fails at once, now and until reset_interrupt().
    void interrupt();
    bool interrupted() const { return interrupted_.load(); }

    // The owner's thread from here on.
    void reset_interrupt();

    // Waits until one of `fds` reports its events (revents set) or the deadline or an interrupt
    // comes.
    FtpIo wait(std::span<pollfd> fds, FtpDeadline deadline);

    // A new non-blocking TCP socket connected to `address`; `fd` is set only on kOk.
    FtpIo connect(const sockaddr* address, socklen_t length, FtpDeadline deadline, int* fd);
    FtpIo send_all(int fd, std::string_view bytes, FtpDeadline deadline);
    // At most `count` bytes; kClosed when the peer has ended the stream.
    FtpIo receive(int fd, void* buffer, std::size_t count, FtpDeadline deadline,
                  std::size_t* received);

    // Forgets the control connection's read-ahead and what the last transfer learnt.
    void reset_transfer();

    FtpTimeouts timeouts;
    // The control connection's bytes read past the reply being gathered.
    std::string pending;
    FtpReplyReader reader;
    // The control connection's peer: the only address a data connection may come from or go to.
    sockaddr_storage peer{};
    socklen_t peer_length = 0;
    // Passive mode once active mode has failed for this download.
    bool prefer_passive = false;
    // The transfer's closing reply, when it arrived before the data was read.
    int final_reply = kFtpReplyNone;
    // Offset of the first byte the data connection carries: the requested one, or 0 when the
    // server refused to resume.
    std::int64_t data_offset = 0;
    bool data_ended = false;
    // The control connection failed (no reply, a garbled one, a time-out, a failed send) rather
    // than the server refusing something; cleared by the next connect.
    bool control_failed = false;
    // Why the last step that gave up did; kNone after a connect.
    FtpFailure failure = FtpFailure::kNone;

  private:
    std::atomic<bool> interrupted_{false};
    int wake_fd_ = -1;  // eventfd written by interrupt(), polled with every socket
};

// The Connection's FtpRuntime, made on first use. Any thread.
std::shared_ptr<FtpRuntime> ftp_runtime(FtpSession& session);

// Closes `fd` when valid and marks it invalid.
void ftp_close_socket(int& fd);

}  // namespace rg
