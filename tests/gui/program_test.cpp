// The reelgrab program as a process: its command line, the no-display line and the exit on a
// termination signal.
#include <QProcess>
#include <QProcessEnvironment>
#include <QTest>
#include <csignal>

#include "support/temp_dir.h"

namespace rg::test {

class ProgramTest : public QObject {
    Q_OBJECT

  private:
    static QProcessEnvironment environment(bool with_display) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(name);
        if (with_display)
            env.insert("QT_QPA_PLATFORM", "offscreen");
        return env;
    }

  private slots:
    void versionHelpAndNoDisplay() {
        QProcess program;
        program.setProcessEnvironment(environment(false));
        program.start(RG_REELGRAB_PATH, {"--version"});
        QVERIFY(program.waitForFinished());
        QVERIFY(program.readAllStandardOutput().startsWith("reelgrab (Reelgrab) "));

        program.start(RG_REELGRAB_PATH, {"--help"});
        QVERIFY(program.waitForFinished());
        QVERIFY(program.readAllStandardOutput().contains("--data-dir DIR"));

        program.start(RG_REELGRAB_PATH, {"--bogus"});
        QVERIFY(program.waitForFinished());
        QCOMPARE(program.exitCode(), 2);

        // Without a display: one line that names rlg, not Qt's own error.
        program.start(RG_REELGRAB_PATH, {});
        QVERIFY(program.waitForFinished());
        QCOMPARE(program.exitCode(), 1);
        const QByteArray said = program.readAllStandardError();
        QCOMPARE(said.count('\n'), 1);
        QVERIFY(said.contains("rlg"));
    }

    void aTerminationSignalExitsThroughTheExitRoutine() {
        TempDir dir;
        write_file(dir.file("rlg.ini"), "[General]\nStartMinimized=0\nMonitorClipboard=0\n");
        QProcess program;
        program.setProcessEnvironment(environment(true));
        program.start(RG_REELGRAB_PATH, {"--data-dir", QString::fromStdString(dir.path())});
        QVERIFY(program.waitForStarted());
        // The list file exists once start-up has opened it.
        QTRY_VERIFY_WITH_TIMEOUT(file_size(dir.file("RGList.rgl")) >= 0, 10000);
        QTest::qWait(200);
        ::kill(static_cast<pid_t>(program.processId()), SIGTERM);
        QVERIFY(program.waitForFinished(10000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
    }
};

}  // namespace rg::test

QTEST_MAIN(rg::test::ProgramTest)
#include "program_test.moc"
