// The list view's model follows every change of the download list with exact row events.
#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>
#include <random>

#include "shell/download_list_model.h"

namespace rg::test {

class ListModelTest : public QObject {
    Q_OBJECT

  private:
    static DownloadItem& add(DownloadList& list, const std::string& name) {
        DownloadItem& item = list.append_item();
        item.lock()->set_local_path("/tmp/" + name);
        return item;
    }

  private slots:
    void persistentIndexesStayWithTheirItems() {
        DownloadList list;
        for (int i = 0; i < 5; ++i)
            add(list, "f" + std::to_string(i));
        DownloadListModel model(list);
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.sync();
        QCOMPARE(model.rowCount(), 5);

        const QPersistentModelIndex third(model.index(3));
        QSignalSpy moved(&model, &QAbstractItemModel::rowsMoved);
        QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
        list.move_item(3, 0);
        list.remove_item(2);
        add(list, "new");
        model.sync();
        QVERIFY(model.in_step());
        QCOMPARE(third.row(), 0);
        QCOMPARE(third.data().toString(), QString("f3"));
        QCOMPARE(moved.size(), 1);
        QCOMPARE(removed.size(), 1);
        QCOMPARE(inserted.size(), 1);
        QCOMPARE(reset.size(), 0);
    }

    void anyMixOfChangesEndsInStep() {
        DownloadList list;
        DownloadListModel model(list);
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        std::mt19937 random(13);
        int made = 0;
        for (int round = 0; round < 200; ++round) {
            const int changes = 1 + static_cast<int>(random() % 4);
            for (int c = 0; c < changes; ++c) {
                const int count = list.count();
                switch (random() % 3) {
                    case 0:
                        add(list, "n" + std::to_string(made++));
                        break;
                    case 1:
                        if (count > 0)
                            list.remove_item(static_cast<int>(random() % count));
                        break;
                    default:
                        if (count > 1) {
                            list.move_item(static_cast<int>(random() % count),
                                           static_cast<int>(random() % (count - 1)));
                        }
                }
            }
            model.sync();
            QVERIFY(model.in_step());
        }
    }

    void aRowKeepsItsItemAliveUntilSynced() {
        DownloadList list;
        add(list, "gone");
        DownloadListModel model(list);
        model.sync();
        std::weak_ptr<DownloadItem> watch = list.shared_at(0);
        list.remove_item(0);
        // Painting before the sync still reads a live item.
        QVERIFY(!watch.expired());
        QCOMPARE(model.index(0).data().toString(), QString("gone"));
        model.sync();
        QVERIFY(watch.expired());
        QCOMPARE(model.rowCount(), 0);
    }
};

}  // namespace rg::test

QTEST_MAIN(rg::test::ListModelTest)
#include "list_model_test.moc"
