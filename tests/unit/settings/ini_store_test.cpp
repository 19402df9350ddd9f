#include "settings/ini_store.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace rg {
namespace {

IniDocument parsed(std::string text) {
    auto doc = IniDocument::parse(std::move(text));
    EXPECT_TRUE(doc);
    return doc ? std::move(*doc) : IniDocument();
}

mode_t mode_of(const std::string& path) {
    struct stat info {};
    EXPECT_EQ(::stat(path.c_str(), &info), 0);
    return info.st_mode & 0777;
}

TEST(IniDocument, ReadsLikeTheProfileFunctions) {
    const IniDocument doc = parsed(
        "orphan=before any section\n"
        "[ General ]  \r\n"
        "  Key One  =  spaced value  \r\n"
        "quoted=\"  kept inside  \"\n"
        "single='x'\n"
        "mismatched=\"x'\n"
        "lonequote=\"\n"
        ";commented=1\n"
        "no equals sign\n"
        "dup=first\n"
        "DUP=second\n"
        "[other]\n"
        "dup=other section\n"
        "[GENERAL]\n"
        "late=second section of the same name\n");
    EXPECT_EQ(doc.find("general", "KEY ONE"), "spaced value");
    EXPECT_EQ(doc.find(" General", "Key One "), "spaced value");
    EXPECT_EQ(doc.find("General", "quoted"), "  kept inside  ");
    EXPECT_EQ(doc.find("General", "single"), "x");
    EXPECT_EQ(doc.find("General", "mismatched"), "\"x'");
    EXPECT_EQ(doc.find("General", "lonequote"), "\"");
    EXPECT_EQ(doc.find("General", "dup"), "first");
    EXPECT_EQ(doc.find("other", "dup"), "other section");
    EXPECT_FALSE(doc.find("General", ";commented"));
    EXPECT_FALSE(doc.find("General", "no equals sign"));
    EXPECT_FALSE(doc.find("General", "late"));  // the first section of a name wins
    EXPECT_FALSE(doc.find("", "orphan"));
    EXPECT_FALSE(doc.find("missing", "dup"));
}

TEST(IniDocument, GetIntTakesLeadingDigitsAndSaturates) {
    const IniDocument doc = parsed(
        "[s]\nempty=\nquotedempty=\"\"\nword=abc\ntrail=12abc\nneg=-5\nplus=+7\nsign=-\n"
        "big=99999999999999999999999\nsmall=-2147483649\nmin=-2147483648\nzero=0\n");
    EXPECT_EQ(doc.get_int("s", "missing", 42), 42);
    EXPECT_EQ(doc.get_int("nosection", "x", 42), 42);
    EXPECT_EQ(doc.get_int("s", "empty", 42), 42);
    EXPECT_EQ(doc.get_int("s", "quotedempty", 42), 42);
    EXPECT_EQ(doc.get_int("s", "word", 42), 0);
    EXPECT_EQ(doc.get_int("s", "trail", 42), 12);
    EXPECT_EQ(doc.get_int("s", "neg", 42), -5);
    EXPECT_EQ(doc.get_int("s", "plus", 42), 7);
    EXPECT_EQ(doc.get_int("s", "sign", 42), 0);
    EXPECT_EQ(doc.get_int("s", "big", 42), INT32_MAX);
    EXPECT_EQ(doc.get_int("s", "small", 42), INT32_MIN);
    EXPECT_EQ(doc.get_int("s", "min", 42), INT32_MIN);
    EXPECT_EQ(doc.get_int("s", "zero", 42), 0);
}

TEST(IniDocument, GetStringFitsTheCallersBuffer) {
    const std::string long_value(5000, 'v');
    const IniDocument doc =
        parsed("[s]\nlong=" + long_value + "\nnul=ab" + std::string(1, '\0') + "cd\n");
    EXPECT_EQ(doc.get_string("s", "long", "", 1024), std::string(1023, 'v'));
    EXPECT_EQ(doc.get_string("s", "long", "", 4095).size(), 4094u);
    EXPECT_EQ(doc.get_string("s", "nul", "", 1024), "ab");
    EXPECT_EQ(doc.get_string("s", "missing", "fallback", 5), "fall");
}

TEST(IniDocument, SetEditsInPlaceAndKeepsEveryOtherByte) {
    const std::string before =
        "; header comment\r\n"
        "[General]\r\n"
        "Keep=1\r\n"
        "  retrycount = 3   \r\n"
        "retrycount=shadowed duplicate\r\n"
        "junk line \x01\xff\r\n"
        "\r\n"
        "[Other]\r\n"
        "RetryCount=untouched\r\n";
    IniDocument doc = parsed(before);
    const std::vector<IniPair> pairs = {
        {"RetryCount", "10"}, {"NewKey", "new"}, {"NEWKEY", "last"}};
    ASSERT_EQ(doc.set("general", pairs), IniError::kNone);
    EXPECT_EQ(doc.text(),
              "; header comment\r\n"
              "[General]\r\n"
              "Keep=1\r\n"
              "retrycount=10\r\n"
              "retrycount=shadowed duplicate\r\n"
              "junk line \x01\xff\r\n"
              "NewKey=last\r\n"
              "\r\n"
              "[Other]\r\n"
              "RetryCount=untouched\r\n");

    ASSERT_EQ(doc.set("Passwords", std::vector<IniPair>{{"Count", "0"}}), IniError::kNone);
    EXPECT_TRUE(doc.text().ends_with("RetryCount=untouched\r\n\r\n[Passwords]\r\nCount=0\r\n"));
}

TEST(IniDocument, SetHandlesUnterminatedLastLines) {
    IniDocument header_only = parsed("[s]");
    ASSERT_EQ(header_only.set("s", std::vector<IniPair>{{"a", "1"}}), IniError::kNone);
    EXPECT_EQ(header_only.text(), "[s]\na=1\n");

    IniDocument no_newline = parsed("[s]\nx=1");
    ASSERT_EQ(no_newline.set("t", std::vector<IniPair>{{"a", "1"}}), IniError::kNone);
    EXPECT_EQ(no_newline.text(), "[s]\nx=1\n\n[t]\na=1\n");
    ASSERT_EQ(no_newline.set("s", std::vector<IniPair>{{"y", "2"}}), IniError::kNone);
    EXPECT_EQ(no_newline.text(), "[s]\nx=1\ny=2\n\n[t]\na=1\n");
}

TEST(IniDocument, SetRefusesTextThatWouldBreakTheFile) {
    IniDocument doc = parsed("[s]\na=1\n");
    const std::string nul(1, '\0');
    using Pairs = std::vector<IniPair>;
    EXPECT_EQ(doc.set("s", Pairs{{"ok", "fine"}, {"a", "x\ny=injected"}}), IniError::kBadValue);
    EXPECT_EQ(doc.set("s", Pairs{{"a", "x\r"}}), IniError::kBadValue);
    EXPECT_EQ(doc.set("s", Pairs{{"a", "x" + nul}}), IniError::kBadValue);
    EXPECT_EQ(doc.set("s", Pairs{{"a=b", "1"}}), IniError::kBadKey);
    EXPECT_EQ(doc.set("s", Pairs{{" ", "1"}}), IniError::kBadKey);
    EXPECT_EQ(doc.set("s", Pairs{{";a", "1"}}), IniError::kBadKey);
    EXPECT_EQ(doc.set("s", Pairs{{"[a", "1"}}), IniError::kBadKey);
    EXPECT_EQ(doc.set("a]b", Pairs{{"a", "1"}}), IniError::kBadSection);
    EXPECT_EQ(doc.set("a\nb", Pairs{{"a", "1"}}), IniError::kBadSection);
    EXPECT_EQ(doc.set("", Pairs{{"a", "1"}}), IniError::kBadSection);
    EXPECT_EQ(doc.text(), "[s]\na=1\n");
}

TEST(IniDocument, HostileTextParsesLosslesslyInLinearTime) {
    std::mt19937 random(7);
    std::string junk(256 * 1024, '\0');
    for (char& c : junk)
        c = static_cast<char>(random());
    // A megabyte line, a megabyte of tiny lines, and many sections.
    std::string text = junk + "\n[s]\nlong=" + std::string(1 << 20, 'x') + "\n";
    for (int i = 0; i < 200000; ++i)
        text += "k=\n";
    for (int i = 0; i < 20000; ++i)
        text += "[s" + std::to_string(i) + "]\n";
    IniDocument doc = parsed(text);
    EXPECT_EQ(doc.text(), text);
    EXPECT_EQ(doc.get_string("s", "long", "", 1024).size(), 1023u);
    EXPECT_EQ(doc.get_int("s19999", "k", -1), -1);
    ASSERT_EQ(doc.set("s", std::vector<IniPair>{{"k", "1"}, {"new", "2"}}), IniError::kNone);
    EXPECT_EQ(doc.get_int("s", "k", -1), 1);
    EXPECT_EQ(doc.get_int("s", "new", -1), 2);
    EXPECT_FALSE(IniDocument::parse(std::string(kIniMaxFileSize + 1, 'x')));
}

class FailingWrites : public FileOps {
  public:
    ssize_t write(int, const void*, std::size_t) override {
        errno = ENOSPC;
        return -1;
    }
};

TEST(IniStore, CreatesAndRewritesTheFileOwnerOnly) {
    test::TempDir dir;
    IniStore store(dir.file("rlg.ini"));
    EXPECT_EQ(store.read().status, IniReadStatus::kMissing);
    EXPECT_FALSE(std::filesystem::exists(store.path()));

    ASSERT_TRUE(store.write("General", std::vector<IniPair>{{"A", "1"}, {"B", "two"}}));
    EXPECT_EQ(test::read_file(store.path()), "[General]\nA=1\nB=two\n");
    EXPECT_EQ(mode_of(store.path()), 0600u);

    ASSERT_EQ(::chmod(store.path().c_str(), 0644), 0);
    ASSERT_TRUE(store.write("General", std::vector<IniPair>{{"a", "3"}}));
    EXPECT_EQ(test::read_file(store.path()), "[General]\nA=3\nB=two\n");
    EXPECT_EQ(mode_of(store.path()), 0600u);

    const IniReadResult read = store.read();
    EXPECT_EQ(read.status, IniReadStatus::kOk);
    EXPECT_EQ(read.document.get_int("general", "a", 0), 3);
}

TEST(IniStore, FailedOrRefusedWritesLeaveTheFileAsItWas) {
    test::TempDir dir;
    const std::string path = dir.file("rlg.ini");
    test::write_file(path, "[General]\nA=1\n");

    FailingWrites failing;
    IniStore broken(path, failing);
    IniError error = IniError::kNone;
    EXPECT_FALSE(broken.write("General", std::vector<IniPair>{{"A", "2"}}, &error));
    EXPECT_EQ(error, IniError::kWriteFailed);

    IniStore store(path);
    EXPECT_FALSE(store.write("General", std::vector<IniPair>{{"A", "2\n[x]"}}, &error));
    EXPECT_EQ(error, IniError::kBadValue);

    EXPECT_EQ(test::read_file(path), "[General]\nA=1\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST(IniStore, OversizedOrOddFilesReadAsUnreadableAndAreNotReplaced) {
    test::TempDir dir;
    const std::string big = dir.file("big.ini");
    test::write_file(big, "[General]\nA=1\n" + std::string(kIniMaxFileSize, ';'));
    IniStore big_store(big);
    EXPECT_EQ(big_store.read().status, IniReadStatus::kUnreadable);
    IniError error = IniError::kNone;
    EXPECT_FALSE(big_store.write("General", std::vector<IniPair>{{"A", "2"}}, &error));
    EXPECT_EQ(error, IniError::kUnreadable);
    EXPECT_EQ(std::filesystem::file_size(big), kIniMaxFileSize + 14);

    const std::string folder = dir.file("folder.ini");
    std::filesystem::create_directory(folder);
    IniStore folder_store(folder);
    EXPECT_EQ(folder_store.read().status, IniReadStatus::kUnreadable);
    EXPECT_FALSE(folder_store.write("General", std::vector<IniPair>{{"A", "2"}}));
    EXPECT_TRUE(std::filesystem::is_directory(folder));
}

}  // namespace
}  // namespace rg
