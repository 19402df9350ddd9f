#include "protocols/ftp_data.h"

#include <arpa/inet.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "protocols/ftp_client.h"
#include "protocols/ftp_control.h"
#include "protocols/ftp_request.h"

namespace rg {

namespace {

constexpr int kListenBacklog = 1;

bool same_host(const sockaddr_storage& a, const sockaddr_storage& b) {
    if (a.ss_family != b.ss_family)
        return false;
    if (a.ss_family == AF_INET) {
        return reinterpret_cast<const sockaddr_in&>(a).sin_addr.s_addr ==
               reinterpret_cast<const sockaddr_in&>(b).sin_addr.s_addr;
    }
    if (a.ss_family == AF_INET6) {
        return std::memcmp(&reinterpret_cast<const sockaddr_in6&>(a).sin6_addr,
                           &reinterpret_cast<const sockaddr_in6&>(b).sin6_addr,
                           sizeof(in6_addr)) == 0;
    }
    return false;
}

void set_port(sockaddr_storage& address, std::uint16_t port) {
    if (address.ss_family == AF_INET6)
        reinterpret_cast<sockaddr_in6&>(address).sin6_port = htons(port);
    else
        reinterpret_cast<sockaddr_in&>(address).sin_port = htons(port);
}

std::uint16_t port_of(const sockaddr_storage& address) {
    if (address.ss_family == AF_INET6)
        return ntohs(reinterpret_cast<const sockaddr_in6&>(address).sin6_port);
    return ntohs(reinterpret_cast<const sockaddr_in&>(address).sin_port);
}

// Active mode: a listener on the control connection's local address, announced with PORT (EPRT
// for IPv6). Returns the reply code, 0 when the port could not be opened or announced.
int open_data_port(FtpSession& s, FtpRuntime& r) {
    sockaddr_storage local{};
    socklen_t length = sizeof local;
    if (::getsockname(s.control_socket, reinterpret_cast<sockaddr*>(&local), &length) != 0)
        return kFtpReplyNone;
    set_port(local, 0);
    int fd = ::socket(local.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return kFtpReplyNone;
    sockaddr_storage bound{};
    socklen_t bound_length = sizeof bound;
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&local), length) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &bound_length) != 0 ||
        ::listen(fd, kListenBacklog) != 0) {
        ftp_close_socket(fd);
        return kFtpReplyNone;
    }
    std::optional<std::string> command;
    if (local.ss_family == AF_INET6) {
        char text[INET6_ADDRSTRLEN] = {};
        if (!::inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6&>(local).sin6_addr, text,
                         sizeof text)) {
            ftp_close_socket(fd);
            return kFtpReplyNone;
        }
        command = ftp_command("EPRT", ftp_extended_port_argument(true, text, port_of(bound)));
    } else {
        command = ftp_command(
            "PORT", ftp_port_argument(reinterpret_cast<const sockaddr_in&>(local).sin_addr.s_addr,
                                      port_of(bound)));
    }
    s.listen_socket = fd;
    return ftp_command_reply(s, r, command);
}

// Passive mode: PASV (EPSV for IPv6) and a connection to the port it names on the control
// connection's peer. Returns the reply code when refused, 0 when the connection failed, and
// kFtpCommandOk with the data socket set.
int open_passive_data(FtpSession& s, FtpRuntime& r) {
    const bool ipv6 = r.peer.ss_family == AF_INET6;
    const int code = ftp_command_reply(s, r, ftp_command(ipv6 ? "EPSV" : "PASV"));
    if (code != (ipv6 ? kFtpExtendedPassiveMode : kFtpPassiveMode))
        return code;
    const std::optional<std::uint16_t> port =
        ipv6 ? parse_extended_passive_port(s.line()) : parse_passive_port(s.line());
    if (!port)
        return kFtpReplyNone;
    sockaddr_storage target = r.peer;
    set_port(target, *port);
    int fd = kInvalidSocket;
    const FtpIo io = r.connect(reinterpret_cast<const sockaddr*>(&target), r.peer_length,
                               ftp_deadline_after(r.timeouts.connect), &fd);
    if (io != FtpIo::kOk) {
        ftp_note_failure(
            s, r, io,
            io == FtpIo::kTimedOut ? FtpFailure::kDataConnectionTimeout : FtpFailure::kConnect);
        return kFtpReplyNone;
    }
    s.data_socket = fd;
    return kFtpCommandOk;
}

enum class DataWait { kAccepted, kRefused, kTimedOut, kFailed };

// Waits for the server's data connection, from the control connection's peer only: anyone else
// who reaches the port first is turned away. A refusal on the control connection meanwhile ends
// the wait early; a closing reply that comes before the connection is taken is kept.
DataWait accept_data(FtpSession& s, FtpRuntime& r) {
    const FtpDeadline deadline = ftp_deadline_after(r.timeouts.connect);
    char buffer[kFtpControlReadSize];
    while (true) {
        if (r.final_reply == kFtpReplyNone) {
            const FtpReplyReader::State state = ftp_take_pending_reply(r);
            if (state == FtpReplyReader::State::kMalformed) {
                r.control_failed = true;
                ftp_fail(s, r, ftp_reply_failure(r.reader));
                return DataWait::kFailed;
            }
            if (state == FtpReplyReader::State::kComplete) {
                const int code = r.reader.code();
                s.set_line(r.reader.line());
                if (ftp_reply_class(code) > kFtpClassCompletion)
                    return DataWait::kRefused;
                if (ftp_reply_class(code) == kFtpClassCompletion)
                    r.final_reply = code;
                // More replies may wait in the read-ahead.
                continue;
            }
        }
        pollfd fds[2] = {{s.listen_socket, POLLIN, 0}, {s.control_socket, POLLIN, 0}};
        const std::size_t watched = r.final_reply == kFtpReplyNone ? 2 : 1;
        const FtpIo io = r.wait({fds, watched}, deadline);
        if (io == FtpIo::kTimedOut) {
            ftp_fail(s, r, FtpFailure::kDataConnectionTimeout);
            return DataWait::kTimedOut;
        }
        if (io != FtpIo::kOk) {
            ftp_note_failure(s, r, io, FtpFailure::kReceive);
            return DataWait::kFailed;
        }
        if (fds[0].revents != 0) {
            sockaddr_storage from{};
            socklen_t from_length = sizeof from;
            int fd = ::accept4(s.listen_socket, reinterpret_cast<sockaddr*>(&from), &from_length,
                               SOCK_NONBLOCK | SOCK_CLOEXEC);
            if (fd >= 0) {
                if (same_host(from, r.peer)) {
                    s.data_socket = fd;
                    ftp_close_socket(s.listen_socket);
                    return DataWait::kAccepted;
                }
                ftp_close_socket(fd);
            } else if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR &&
                       errno != ECONNABORTED) {
                return DataWait::kFailed;
            }
        }
        if (watched > 1 && fds[1].revents != 0) {
            std::size_t n = 0;
            const FtpIo got = r.receive(s.control_socket, buffer, sizeof buffer, deadline, &n);
            if (got != FtpIo::kOk) {
                r.control_failed = true;
                ftp_note_failure(s, r, got, FtpFailure::kReceive);
                return DataWait::kFailed;
            }
            r.pending.append(buffer, n);
        }
    }
}

}  // namespace

FtpRetrieveResult ftp_retrieve_data(FtpSession& s, FtpRuntime& r, std::string_view path,
                                    std::int64_t offset, bool passive) {
    FtpRetrieveResult result;
    if (path.empty()) {
        ftp_say(kFtpSayNoFile);
        return result;
    }
    if (!ftp_require_connected(s) || offset < 0)
        return result;
    r.final_reply = kFtpReplyNone;
    r.failure = FtpFailure::kNone;
    r.data_ended = false;
    r.data_offset = offset;

    if (!passive) {
        const int code = open_data_port(s, r);
        if (code == kFtpReplyNone && s.listen_socket == kInvalidSocket)
            return result;
        if (ftp_reply_class(code) != kFtpClassCompletion) {
            // PORT refused: many servers behind address translation only offer passive mode.
            ftp_close_socket(s.listen_socket);
            if (code == kFtpReplyNone)
                return result;
            passive = true;
        }
    }
    if (passive) {
        result.passive = true;
        const int code = open_passive_data(s, r);
        if (code != kFtpCommandOk) {
            result.code = code;
            result.data_timeout = r.failure == FtpFailure::kDataConnectionTimeout;
            result.passive_refused = code != kFtpReplyNone;
            return result;
        }
    }

    if (offset > 0) {
        const int code = ftp_command_reply(s, r, ftp_command("REST", std::to_string(offset)));
        if (code == kFtpReplyNone)
            return result;
        // Refused: the file comes from its start rather than being written at the offset.
        if (code != kFtpPendingFurther)
            r.data_offset = 0;
    }
    const int code = ftp_command_reply(s, r, ftp_command("RETR", path));
    if (code != kFtpOpeningData && code != kFtpDataAlreadyOpen) {
        result.code = code;
        return result;
    }
    const std::string preliminary = s.line();
    if (!passive) {
        const DataWait waited = accept_data(s, r);
        if (waited != DataWait::kAccepted) {
            result.active_failed = waited == DataWait::kTimedOut || waited == DataWait::kRefused;
            return result;
        }
    }
    // The size some servers give with the 150 line counts only for a transfer from the start:
    // after REST it may be the whole file's or the rest's.
    if (s.announced_size <= 0 && r.data_offset == 0) {
        if (const auto size = parse_retrieve_size(preliminary))
            s.announced_size = *size;
    }
    result.code = kFtpOpeningData;
    return result;
}

}  // namespace rg
