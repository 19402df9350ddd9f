// The tray and the system clipboard under an X server (xvfb-run): xclip copies from another
// process, trayer provides an XEmbed tray.
#include <QProcess>
#include <QStandardPaths>
#include <QSystemTrayIcon>
#include <QTest>

#include "gui_fixture.h"

namespace rg::test {

class DesktopTest : public QObject {
    Q_OBJECT

  private slots:
    void aUrlCopiedByAnotherProgramIsCaught() {
        if (QStandardPaths::findExecutable("xclip").isEmpty())
            QSKIP("xclip is not installed");
        GuiFixture f("MonitorClipboard=1\n");
        QProcess xclip;
        xclip.start("xclip", {"-selection", "clipboard", "-loops", "1"});
        QVERIFY(xclip.waitForStarted());
        xclip.write("http://127.0.0.1:9/from-outside.rar");
        xclip.closeWriteChannel();
        QTRY_COMPARE_WITH_TIMEOUT(f.dialogs().new_download_calls.size(), 1u, 10000);
        QCOMPARE(f.dialogs().new_download_calls[0],
                 std::vector<std::string>{"http://127.0.0.1:9/from-outside.rar"});
        xclip.kill();
        xclip.waitForFinished();
    }

    void aTrayThatAppearsLaterTakesTheWindow() {
        if (QStandardPaths::findExecutable("trayer").isEmpty())
            QSKIP("trayer is not installed");
        GuiFixture f;
        QVERIFY(!f.window().tray()->available());
        f.window().close();
        QVERIFY(f.window().isMinimized());
        f.window().show_window();

        QProcess trayer;
        trayer.start("trayer", {"--edge", "top", "--align", "right"});
        QVERIFY(trayer.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(f.window().tray()->available(), 10000);
        f.window().close();
        QVERIFY(!f.window().isVisible());
        trayer.kill();
        trayer.waitForFinished();
    }
};

}  // namespace rg::test

QTEST_MAIN(rg::test::DesktopTest)
#include "desktop_test.moc"
