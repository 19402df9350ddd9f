#include "settings/site_passwords.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <thread>

#include "protocols/base64.h"
#include "support/temp_dir.h"

namespace rg {
namespace {

const SitePassword kA{"A.EXAMPLE", "alice", "secret"};
const SitePassword kB{"B.EXAMPLE", "bob", ""};
const SitePassword kC{"C.EXAMPLE", "carol", "pw"};

std::string b64(std::string_view plain) {
    return base64_encode_text(plain, plain.size() * 2 + 8).value();
}

std::string stored(const SitePassword& entry) {
    return encode_site_password(entry).value();
}

std::string section(const std::string& body) {
    return "[Passwords]\n" + body;
}

TEST(SitePasswordCodec, StoredFormIsBase64OfLengthPrefixedFields) {
    const SitePassword entry{"HOST", "u", "p"};
    EXPECT_EQ(encode_site_password(entry), b64("8#SE9TVA==4#dQ==4#cA=="));
    EXPECT_EQ(decode_site_password(b64("8#SE9TVA==4#dQ==4#cA==")), entry);

    // Empty site and password are stored as length 0 and come back empty.
    const SitePassword sparse{"", "user", ""};
    EXPECT_EQ(encode_site_password(sparse), b64("0#8#dXNlcg==0#"));
    EXPECT_EQ(decode_site_password(b64("0#8#dXNlcg==0#")), sparse);
}

TEST(SitePasswordCodec, FieldsWithoutRoomCannotBeStored) {
    EXPECT_TRUE(encode_site_password({std::string(765, 's'), "u", "p"}));
    EXPECT_FALSE(encode_site_password({std::string(766, 's'), "u", "p"}));
    EXPECT_TRUE(encode_site_password({"s", std::string(87, 'u'), std::string(87, 'p')}));
    EXPECT_FALSE(encode_site_password({"s", std::string(88, 'u'), "p"}));
    EXPECT_FALSE(encode_site_password({"s", "u", std::string(88, 'p')}));
    EXPECT_EQ(encode_credential("user"), "dXNlcg==");
    EXPECT_TRUE(encode_credential(std::string(87, 'u')));
    EXPECT_FALSE(encode_credential(std::string(88, 'u')));
}

TEST(SitePasswordCodec, MalformedValuesAreDropped) {
    const std::string quads = [] {
        std::string s;
        for (int i = 0; i < 256; ++i)
            s += "QUFB";  // "AAA"
        return s;
    }();
    EXPECT_EQ(decode_site_password(b64("1024#" + quads + "4#dQ==0#"))->site.size(), 768u);

    const char* dropped[] = {
        "no hash at all",
        "1234567#QUFB4#dQ==0#",  // seven characters before '#'
        "#QUFB4#dQ==0#",         // none
        "-4#QUFB4#dQ==0#",       // signed
        "+4#QUFB4#dQ==0#",
        "0#0#0#",          // empty user name
        "0#4#dQ==",        // no password field
        "0#8#dQ==",        // user name reaches past the text
        "0#4#dQ==9#cA==",  // password reaches past the text
        "0#4#d*==0#",      // not Base64
    };
    for (const char* inner : dropped)
        EXPECT_FALSE(decode_site_password(b64(inner))) << inner;
    EXPECT_FALSE(decode_site_password(b64("1025#" + quads + "QUFB4#dQ==0#")));
    EXPECT_FALSE(decode_site_password(b64("0#121#" + quads.substr(0, 121) + "0#")));
    EXPECT_FALSE(decode_site_password(b64("0#4#dQ==121#" + quads.substr(0, 121))));
    EXPECT_TRUE(decode_site_password(b64("0#4#dQ==120#" + quads.substr(0, 120))));
    EXPECT_FALSE(decode_site_password("MCM="));  // shorter than 5
    EXPECT_FALSE(decode_site_password("!!!!!!!!"));
}

TEST(SitePasswordList, LoadReadsExactlyTheKeysBelowCount) {
    test::TempDir dir;
    IniStore store(dir.file("rlg.ini"));
    const std::string body = "site0=" + stored(kA) + "\nSite02=" + stored(kC) +
                             "\nSite1=\nSite3=garbage\n SITE2 = " + stored(kB) +
                             "\nSite2=" + stored(kC) + "\nSite6=" + stored(kC) + "\n";

    test::write_file(store.path(), section("Count=6\n" + body));
    SitePasswordList list(store);
    EXPECT_EQ(list.load(), IniReadStatus::kOk);
    EXPECT_EQ(list.entries(), (std::vector<SitePassword>{kA, kB}));

    // A hostile count costs no more than the keys present.
    test::write_file(store.path(), section("Count=2000000000\n" + body));
    const auto start = std::chrono::steady_clock::now();
    list.load();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(list.entries(), (std::vector<SitePassword>{kA, kB, kC}));

    test::write_file(store.path(), section("Count=-1\n" + body));
    list.load();
    EXPECT_EQ(list.size(), 0u);
}

TEST(SitePasswordList, FindTakesTheFirstEntryForTheUrlsHostIgnoringCase) {
    test::TempDir dir;
    IniStore store(dir.file("rlg.ini"));
    test::write_file(store.path(), section("Count=3\nSite0=" + stored(kA) +
                                           "\nSite1=" + stored({"", "anyone", "x"}) +
                                           "\nSite2=" + stored(kB) + "\n"));
    SitePasswordList list(store);
    list.load();
    EXPECT_EQ(list.find("http://a.example:8080/file.zip"), kA);
    EXPECT_EQ(list.find("ftp://joe@A.Example/x"), kA);
    // An empty site names no server: it gives credentials to none.
    EXPECT_EQ(list.find("ftp://B.Example/x"), kB);
    EXPECT_FALSE(list.find("http://elsewhere/"));
}

TEST(SitePasswordList, AnEntryIsNeverFoundInsideAnotherUrl) {
    test::TempDir dir;
    IniStore store(dir.file("rlg.ini"));
    SitePasswordList list(store);
    list.load();
    const SitePassword bank{"MYBANK.COM", "me", "pw"};
    ASSERT_EQ(list.add(bank), SitePasswordError::kNone);
    for (const char* url : {"http://mybank.com.evil.net/", "https://evil.net/?mybank.com",
                            "http://evil.net/mybank.com", "http://www.mybank.com/",
                            "http://notmybank.com/", "http://mybank.com@evil.net/"})
        EXPECT_FALSE(list.find(url)) << url;
    EXPECT_EQ(list.find("https://MyBank.com:8443/login"), bank);
}

TEST(SitePasswordList, UrlPrefixEntriesMatchUpToAPathBoundary) {
    test::TempDir dir;
    IniStore store(dir.file("rlg.ini"));
    SitePasswordList list(store);
    list.load();
    const SitePassword dir_entry{"https://host.example/private/", "d", "1"};
    const SitePassword file_entry{"http://host.example:8080/a", "f", "2"};
    const SitePassword numeric{"ftp://127.0.0.1", "n", "3"};
    for (const SitePassword& entry : {dir_entry, file_entry, numeric})
        ASSERT_EQ(list.add(entry), SitePasswordError::kNone);

    EXPECT_EQ(list.find("https://HOST.example/private/x.zip"), dir_entry);
    EXPECT_EQ(list.find("https://host.example:443/private/"), dir_entry);
    EXPECT_EQ(list.find("http://host.example:8080/a"), file_entry);
    EXPECT_EQ(list.find("http://host.example:8080/a/b"), file_entry);
    EXPECT_EQ(list.find("http://host.example:8080/a?x"), file_entry);
    EXPECT_EQ(list.find("ftp://0x7f.1/x"), numeric);
    for (const char* url : {"https://host.example/privateer/", "https://host.example/Private/x",
                            "http://host.example/private/x", "https://host.example:444/private/x",
                            "http://host.example:8080/ab", "http://host.example/a",
                            "http://127.0.0.1/x", "https://host.example.evil/private/x"})
        EXPECT_FALSE(list.find(url)) << url;
}

TEST(SitePasswordList, RememberUpdatesTheSameSiteInMemoryOnly) {
    test::TempDir dir;
    IniStore store(dir.file("rlg.ini"));
    const std::string file = section("Count=1\nSite0=" + stored(kA) + "\n");
    test::write_file(store.path(), file);
    SitePasswordList list(store);
    list.load();

    // The same site in any case is a match.
    EXPECT_EQ(list.remember({"a.example", "new", "pw"}), SitePasswordError::kNone);
    EXPECT_EQ(list.entries(), (std::vector<SitePassword>{{"A.EXAMPLE", "new", "pw"}}));
    EXPECT_EQ(test::read_file(store.path()), file);

    // A site that merely holds the stored one is another server: appended and stored, and the
    // stored entry keeps its credentials.
    EXPECT_EQ(list.remember({"A.EXAMPLE.EVIL.NET", "u", "p"}), SitePasswordError::kNone);
    EXPECT_EQ(list.entries(), (std::vector<SitePassword>{{"A.EXAMPLE", "new", "pw"},
                                                         {"A.EXAMPLE.EVIL.NET", "u", "p"}}));
    EXPECT_EQ(test::read_file(store.path()),
              section("Count=2\nSite0=" + stored(kA) +
                      "\nSite1=" + stored({"A.EXAMPLE.EVIL.NET", "u", "p"}) + "\n"));
}

TEST(SitePasswordList, EmptySiteMatchesOnlyAnEmptySite) {
    test::TempDir dir;
    IniStore store(dir.file("rlg.ini"));
    test::write_file(store.path(), section("Count=1\nSite0=" + stored({"", "u", "p"}) + "\n"));
    SitePasswordList list(store);
    list.load();
    EXPECT_EQ(list.remember(kA), SitePasswordError::kNone);
    EXPECT_EQ(list.entries(), (std::vector<SitePassword>{{"", "u", "p"}, kA}));
    EXPECT_EQ(list.remember({"", "v", "q"}), SitePasswordError::kNone);
    EXPECT_EQ(list.entries(), (std::vector<SitePassword>{{"", "v", "q"}, kA}));
}

TEST(SitePasswordList, AdditionsAreStoredAndForgetRewritesTheSection) {
    test::TempDir dir;
    IniStore store(dir.file("rlg.ini"));
    SitePasswordList list(store);
    EXPECT_EQ(list.load(), IniReadStatus::kMissing);
    for (const auto& entry : {kA, kB, kC})
        ASSERT_EQ(list.remember(entry), SitePasswordError::kNone);
    EXPECT_EQ(test::read_file(store.path()), section("Site0=" + stored(kA) + "\nCount=3\nSite1=" +
                                                     stored(kB) + "\nSite2=" + stored(kC) + "\n"));

    ASSERT_EQ(list.forget(0), SitePasswordError::kNone);
    EXPECT_EQ(list.forget(2), SitePasswordError::kNoSuchEntry);
    // The old last key stays, beyond Count, and is not read.
    EXPECT_EQ(test::read_file(store.path()), section("Site0=" + stored(kB) + "\nCount=2\nSite1=" +
                                                     stored(kC) + "\nSite2=" + stored(kC) + "\n"));
    SitePasswordList reloaded(store);
    reloaded.load();
    EXPECT_EQ(reloaded.entries(), (std::vector<SitePassword>{kB, kC}));

    ASSERT_EQ(reloaded.replace(1, kA), SitePasswordError::kNone);
    ASSERT_EQ(reloaded.add(kC), SitePasswordError::kNone);
    SitePasswordList again(store);
    again.load();
    EXPECT_EQ(again.entries(), (std::vector<SitePassword>{kB, kA, kC}));
}

TEST(SitePasswordList, AnEntryThatFailedToLoadDoesNotCostAStoredOne) {
    test::TempDir dir;
    IniStore store(dir.file("rlg.ini"));
    test::write_file(store.path(), section("Count=3\nSite0=" + stored(kA) +
                                           "\nSite1=garbage\nSite2=" + stored(kB) + "\n"));
    SitePasswordList list(store);
    list.load();
    ASSERT_EQ(list.remember(kC), SitePasswordError::kNone);
    // Writing the new entry as Site2 would have overwritten B; the section is renumbered.
    SitePasswordList reloaded(store);
    reloaded.load();
    EXPECT_EQ(reloaded.entries(), (std::vector<SitePassword>{kA, kB, kC}));
}

class SwitchableFailure : public FileOps {
  public:
    ssize_t write(int fd, const void* data, std::size_t size) override {
        if (fail) {
            errno = EIO;
            return -1;
        }
        return FileOps::write(fd, data, size);
    }
    bool fail = false;
};

TEST(SitePasswordList, FailedWritesAreReportedAndRepairedByTheNextWrite) {
    test::TempDir dir;
    SwitchableFailure ops;
    IniStore store(dir.file("rlg.ini"), ops);
    const std::string file = section("Count=1\nSite0=" + stored(kA) + "\n");
    test::write_file(store.path(), file);
    SitePasswordList list(store);
    list.load();

    ops.fail = true;
    EXPECT_EQ(list.remember(kB), SitePasswordError::kWriteFailed);
    EXPECT_EQ(list.size(), 2u);
    EXPECT_EQ(test::read_file(store.path()), file);

    ops.fail = false;
    ASSERT_EQ(list.remember(kC), SitePasswordError::kNone);
    SitePasswordList reloaded(store);
    reloaded.load();
    EXPECT_EQ(reloaded.entries(), (std::vector<SitePassword>{kA, kB, kC}));
}

TEST(SitePasswordList, NothingIsWrittenOverAFileThatCouldNotBeRead) {
    test::TempDir dir;
    IniStore store(dir.file("rlg.ini"));
    std::filesystem::create_directory(store.path());
    SitePasswordList list(store);
    EXPECT_EQ(list.load(), IniReadStatus::kUnreadable);
    // The file becomes readable later; its entries were never seen, so it is left alone.
    std::filesystem::remove(store.path());
    const std::string file = section("Count=1\nSite0=" + stored(kA) + "\n");
    test::write_file(store.path(), file);
    EXPECT_EQ(list.remember(kB), SitePasswordError::kWriteFailed);
    EXPECT_EQ(list.find("http://b.example/"), kB);
    EXPECT_EQ(test::read_file(store.path()), file);
}

TEST(SitePasswordList, UnstorableEntriesChangeNothing) {
    test::TempDir dir;
    IniStore store(dir.file("rlg.ini"));
    SitePasswordList list(store);
    list.load();
    const std::string long_name(88, 'u');
    EXPECT_EQ(list.remember({"HOST", long_name, "p"}), SitePasswordError::kTooLong);
    EXPECT_EQ(list.size(), 0u);
    EXPECT_FALSE(std::filesystem::exists(store.path()));
    ASSERT_EQ(list.remember(kA), SitePasswordError::kNone);
    EXPECT_EQ(list.remember({kA.site, long_name, "p"}), SitePasswordError::kTooLong);
    EXPECT_EQ(list.replace(0, {std::string(766, 's'), "u", "p"}), SitePasswordError::kTooLong);
    EXPECT_EQ(list.entries(), (std::vector<SitePassword>{kA}));
}

TEST(SitePasswordList, WorkersFindWhileTheListChanges) {
    test::TempDir dir;
    IniStore store(dir.file("rlg.ini"));
    SitePasswordList list(store);
    list.load();
    std::atomic<bool> stop{false};
    std::vector<std::thread> workers;
    for (int i = 0; i < 2; ++i) {
        workers.emplace_back([&] {
            while (!stop) {
                if (const auto found = list.find("http://a.example/")) {
                    EXPECT_EQ(found->site, kA.site);
                }
            }
        });
    }
    for (int i = 0; i < 20; ++i) {
        ASSERT_EQ(list.remember(kA), SitePasswordError::kNone);
        ASSERT_EQ(list.forget(0), SitePasswordError::kNone);
    }
    stop = true;
    for (auto& worker : workers)
        worker.join();
}

}  // namespace
}  // namespace rg
