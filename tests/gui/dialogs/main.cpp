#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <cstring>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "modal.h"

namespace {

// The user's folders point into a scratch folder, so that choosers and the download folder never
// touch the home folder of whoever runs the tests.
bool use_scratch_user_folders(const QTemporaryDir& scratch) {
    const QString config = scratch.filePath("config");
    const QString downloads = scratch.filePath("Downloads");
    if (!QDir().mkpath(config) || !QDir().mkpath(downloads))
        return false;
    QFile dirs(config + "/user-dirs.dirs");
    if (!dirs.open(QIODevice::WriteOnly))
        return false;
    dirs.write(("XDG_DOWNLOAD_DIR=\"" + downloads + "\"\n").toUtf8());
    return qputenv("XDG_CONFIG_HOME", config.toUtf8());
}

}  // namespace

// `test_gui_dialogs [SUITE] [QtTest options]`: one suite, or all of them.
int main(int argc, char** argv) {
    QTemporaryDir scratch;
    if (!scratch.isValid() || !use_scratch_user_folders(scratch)) {
        qWarning("cannot make the scratch user folders");
        return 1;
    }
    QApplication app(argc, argv);
    const auto& suites = rg::test::dialog_suites();
    int failures = 0;
    bool ran = false;
    for (const auto& [name, make] : suites) {
        std::vector<char*> args{argv[0]};
        if (argc > 1 && std::strcmp(argv[1], name) != 0 && argv[1][0] != '-')
            continue;
        const int first_option = argc > 1 && argv[1][0] != '-' ? 2 : 1;
        for (int i = first_option; i < argc; ++i)
            args.push_back(argv[i]);
        std::unique_ptr<QObject> suite = make();
        failures += QTest::qExec(suite.get(), static_cast<int>(args.size()), args.data());
        ran = true;
    }
    if (!ran) {
        qWarning("no suite named %s", argv[1]);
        return 1;
    }
    return failures == 0 ? 0 : 1;
}

namespace rg::test {

std::map<const char*, SuiteFactory>& dialog_suites() {
    static std::map<const char*, SuiteFactory> suites;
    return suites;
}

}  // namespace rg::test
