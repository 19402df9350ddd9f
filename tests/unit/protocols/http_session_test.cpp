#include "protocols/http_session.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/network_state.h"
#include "protocols/http_url.h"
#include "settings/http_options.h"
#include "support/temp_dir.h"

namespace rg {
namespace {

TEST(HttpSession, TakesItsValuesFromTheSettings) {
    Settings s;
    s.HTTPUserAgent = "agent/1";
    s.ConnectTimeOut = 1500;
    s.RecieveTimeOut = 2500;
    s.UseIEProxy = 0;
    HttpSession session(http_session_options(s, "/data/cookies.txt"));
    HttpSessionOptions o = session.options();
    EXPECT_EQ(o.user_agent, "agent/1");
    EXPECT_EQ(o.connect_timeout_ms, 1500);
    EXPECT_EQ(o.receive_timeout_ms, 2500);
    EXPECT_FALSE(o.use_system_proxy);
    EXPECT_EQ(o.cookie_file, "/data/cookies.txt");

    s.UseIEProxy = 1;
    s.HTTPUserAgent = "agent/2";
    apply_settings(session, s);
    o = session.options();
    EXPECT_TRUE(o.use_system_proxy);
    EXPECT_EQ(o.user_agent, "agent/2");
    EXPECT_EQ(o.cookie_file, "/data/cookies.txt");
}

TEST(HttpSession, DefaultsAreTheSettingsDefaults) {
    const HttpSessionOptions bare;
    const HttpSessionOptions from_settings = http_session_options(Settings{}, "");
    EXPECT_EQ(bare.user_agent, from_settings.user_agent);
    EXPECT_EQ(bare.connect_timeout_ms, from_settings.connect_timeout_ms);
    EXPECT_EQ(bare.receive_timeout_ms, from_settings.receive_timeout_ms);
    EXPECT_EQ(bare.use_system_proxy, from_settings.use_system_proxy);
}

TEST(HttpSession, WorkersReadWhileTheControllerUpdates) {
    constexpr std::size_t kAgentLength = 64;
    HttpSessionOptions initial;
    initial.user_agent.assign(kAgentLength, 'a');
    HttpSession session(initial);
    std::atomic<bool> stop{false};
    std::atomic<int> torn{0};
    std::thread reader([&] {
        while (!stop.load()) {
            const std::string agent = session.options().user_agent;
            if (agent.size() != kAgentLength ||
                agent.find_first_not_of(agent.front()) != std::string::npos)
                ++torn;
        }
    });
    Settings s;
    for (int i = 0; i < 2000; ++i) {
        s.HTTPUserAgent = std::string(kAgentLength, static_cast<char>('a' + i % 26));
        apply_settings(session, s);
    }
    stop = true;
    reader.join();
    EXPECT_EQ(torn.load(), 0);
}

TEST(HttpSession, MissingCookieFileSendsNothing) {
    test::TempDir dir;
    HttpSessionOptions o;
    o.cookie_file = dir.file("absent.txt");
    HttpSession session(o);
    RequestTarget t;
    ASSERT_EQ(make_request_target("http://h/", &t), UrlProblem::kNone);
    EXPECT_EQ(session.cookie_header(t), "");
}

TEST(HttpSession, SystemNetworkIsAlwaysOnline) {
    HttpSession session(HttpSessionOptions{});
    session.set_ask_go_online([] {
        ADD_FAILURE() << "asked although online";
        return false;
    });
    EXPECT_TRUE(session.ensure_online());
    EXPECT_FALSE(system_network_state().offline_by_user());
}

}  // namespace
}  // namespace rg
