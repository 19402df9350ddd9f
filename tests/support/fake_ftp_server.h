#pragma once

#include <atomic>
#include <cstddef>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace rg::test {

// How the fake server behaves. Everything it sends is raw bytes, so odd replies can be scripted.
struct FakeFtpScript {
    std::string greeting = "220 Fake FTP ready\r\n";  // empty: say nothing at all
    std::string file{};                               // what RETR of any path serves
    bool user_logs_in = false;                        // 230 to USER, no PASS asked
    std::string password{};                           // the PASS that is accepted; empty: any
    bool refuse_rest = false;                         // 502 to every REST
    bool size_supported = true;                       // 500 to SIZE when false
    std::string modified = "20261201120000";          // the MDTM time; empty: 500 to MDTM
    std::string retr_preliminary = "150 Opening BINARY mode data connection.\r\n";
    bool final_with_preliminary = false;     // the 226 goes out in the same write as the 150
    bool refuse_port = false;                // 500 to PORT and EPRT
    bool refuse_passive = false;             // 500 to PASV and EPSV
    bool never_connect = false;              // accepts PORT, answers RETR, never connects
    std::string connect_from = "127.0.0.1";  // source address of active data connections
    bool foreign_first = false;  // a connection from 127.0.0.2 comes first and sends junk
    // The first `drops` transfers end after this many bytes with 426 on the control connection.
    std::optional<std::size_t> drop_after{};
    int drops = 1;
    // The data connection goes silent after this many bytes and stays open.
    std::optional<std::size_t> stall_after{};
    std::map<std::string, std::string> replies{};  // verb -> raw reply replacing the usual one
};

// A scripted FTP server on 127.0.0.1 and an ephemeral port, one control connection at a time,
// run by a thread of its own that the destructor stops.
class FakeFtpServer {
  public:
    explicit FakeFtpServer(FakeFtpScript script);
    ~FakeFtpServer();
    FakeFtpServer(const FakeFtpServer&) = delete;
    FakeFtpServer& operator=(const FakeFtpServer&) = delete;

    bool ok() const { return port_ > 0; }
    int port() const { return port_; }
    std::string url(std::string_view path) const;

    // From the next command on, SIZE, MDTM and RETR are of this file: it changed on the server.
    void replace_file(std::string file, std::string modified);

    // Every command line received so far, without its line end.
    std::vector<std::string> commands() const;
    // Control connections accepted so far.
    int connections() const { return connections_.load(); }
    // Foreign data connections that the client closed without sending anything.
    int foreign_closed() const { return foreign_closed_.load(); }
    // Data connections over which the whole rest of the file was sent.
    int completed_transfers() const { return completed_.load(); }

  private:
    struct Session;
    void serve();
    void run_session(int control);
    bool handle(Session& s, const std::string& line);
    void transfer(Session& s);
    bool wait_fd(int fd, short events, int timeout_ms) const;
    bool send_all(int fd, std::string_view bytes) const;
    int connect_data(const std::string& from, int port) const;
    bool foreign_probe(int port);

    // The file served and its MDTM time: script_'s until replace_file(); under mutex_.
    std::string file() const;
    std::string modified() const;

    FakeFtpScript script_;
    int listen_fd_ = -1;
    int stop_fd_ = -1;
    int port_ = 0;
    std::thread thread_;
    mutable std::mutex mutex_;
    std::vector<std::string> commands_;
    std::atomic<int> connections_{0};
    std::atomic<int> foreign_closed_{0};
    std::atomic<int> completed_{0};
    int transfers_ = 0;  // server thread only
};

}  // namespace rg::test
