#include <QApplication>
#include <QTest>
#include <cstring>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "modal.h"

// `test_gui_dialogs [SUITE] [QtTest options]`: one suite, or all of them.
int main(int argc, char** argv) {
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
