#include "protocols/ftp_control.h"

#include <cstdio>

#include "protocols/ftp_client.h"

namespace rg {

int ftp_reply_class(int code) {
    return code / kFtpReplyClassDivisor;
}

void ftp_say(const char* text) {
    std::fputs(text, stdout);
}

bool ftp_require_connected(const FtpSession& s) {
    if (s.connected)
        return true;
    ftp_say(kFtpSayNotConnected);
    return false;
}

void ftp_fail(FtpSession& s, FtpRuntime& r, FtpFailure failure) {
    r.failure = failure;
    s.set_error_text(ftp_failure_text(failure));
}

void ftp_note_failure(FtpSession& s, FtpRuntime& r, FtpIo io, FtpFailure failure) {
    ftp_fail(s, r, io == FtpIo::kInterrupted ? FtpFailure::kCancelled : failure);
}

bool ftp_send_command(FtpSession& s, FtpRuntime& r, const std::optional<std::string>& command) {
    // A control connection that failed once cannot be trusted to line up replies again; the
    // first failure's text stands.
    if (r.control_failed)
        return false;
    if (!command || s.control_socket == kInvalidSocket) {
        ftp_fail(s, r, FtpFailure::kSend);
        return false;
    }
    s.set_line(*command);
    const FtpIo io =
        r.send_all(s.control_socket, *command, ftp_deadline_after(r.timeouts.reply_line));
    if (io != FtpIo::kOk) {
        r.control_failed = true;
        ftp_note_failure(s, r, io, FtpFailure::kSend);
        return false;
    }
    return true;
}

FtpFailure ftp_reply_failure(const FtpReplyReader& reader) {
    return reader.problem() == FtpReplyReader::Problem::kNoCode ? FtpFailure::kReceive
                                                                : FtpFailure::kReplyTooLong;
}

// What the read-ahead holds of the next reply, without reading the socket.
FtpReplyReader::State ftp_take_pending_reply(FtpRuntime& r) {
    if (r.pending.empty())
        return FtpReplyReader::State::kIncomplete;
    std::string_view view = r.pending;
    const FtpReplyReader::State state = r.reader.consume(view);
    r.pending.erase(0, r.pending.size() - view.size());
    return state;
}

int ftp_await_reply(FtpSession& s, FtpRuntime& r) {
    s.set_line("");
    if (r.control_failed)
        return kFtpReplyNone;
    if (s.control_socket == kInvalidSocket) {
        r.control_failed = true;
        ftp_fail(s, r, FtpFailure::kReceive);
        return kFtpReplyNone;
    }
    // Each line has its own time: a long greeting is fine, a silent server is not.
    FtpDeadline deadline = ftp_deadline_after(r.timeouts.reply_line);
    std::size_t lines = 0;
    char buffer[kFtpControlReadSize];
    while (true) {
        const FtpReplyReader::State state = ftp_take_pending_reply(r);
        if (state == FtpReplyReader::State::kComplete) {
            s.set_line(r.reader.line());
            return r.reader.code();
        }
        if (state == FtpReplyReader::State::kMalformed) {
            r.control_failed = true;
            s.set_line(r.reader.line());
            ftp_fail(s, r, ftp_reply_failure(r.reader));
            return kFtpReplyNone;
        }
        if (r.reader.lines() != lines) {
            lines = r.reader.lines();
            deadline = ftp_deadline_after(r.timeouts.reply_line);
        }
        std::size_t n = 0;
        const FtpIo io = r.receive(s.control_socket, buffer, sizeof buffer, deadline, &n);
        if (io == FtpIo::kOk) {
            r.pending.append(buffer, n);
            continue;
        }
        r.control_failed = true;
        if (io == FtpIo::kTimedOut) {
            ftp_fail(s, r, FtpFailure::kReplyTimeout);
            ftp_close_sockets(s);
        } else {
            ftp_note_failure(s, r, io, FtpFailure::kReceive);
        }
        return kFtpReplyNone;
    }
}

int ftp_command_reply(FtpSession& s, FtpRuntime& r, const std::optional<std::string>& command) {
    if (!ftp_send_command(s, r, command))
        return kFtpReplyNone;
    return ftp_await_reply(s, r);
}

}  // namespace rg
