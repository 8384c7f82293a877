#include "installer.h"
#include "installfixtures.h"
#include "installthread.h"
#include "messageboxes.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

class tst_Installer : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void completeInstallation();
    void destinationExists_data();
    void destinationExists();
    void destinationIsAFile();
    void cancelWhenIdle();
    void cancelWhileCopying();
    void destroyWhileCopying();

private:
    QScopedPointer<QTemporaryDir> work;
    QString path(const QString &relative) const { return work->filePath(relative); }
};

static void record(Installer *installer, SignalRecorder *recorder)
{
    QObject::connect(installer, &Installer::status, recorder, &SignalRecorder::onStatus);
    QObject::connect(installer, &Installer::error, recorder, &SignalRecorder::onError);
    QObject::connect(installer, &Installer::progress, recorder, &SignalRecorder::onProgress);
    QObject::connect(installer, &Installer::cancelled, recorder, &SignalRecorder::onCancelled);
    QObject::connect(installer, &Installer::finished, recorder, &SignalRecorder::onFinished);
}

void tst_Installer::init()
{
    work.reset(new QTemporaryDir);
    QVERIFY(work->isValid());
    InstallThread::setCrayMarkerPath(path(QStringLiteral("no-alps")));
}

void tst_Installer::cleanup()
{
    InstallThread::setCrayMarkerPath(QStringLiteral("/var/log/alps"));
}

void tst_Installer::completeInstallation()
{
    const QString suite = path(QStringLiteral("suite"));
    QVERIFY(writeSuite(suite, 20));
    const QString source = path(QStringLiteral("source"));
    QVERIFY(QDir().mkpath(source));
    QVERIFY(packWithTar(suite, source + QLatin1String("/orvex.tgz")));
    const QString destination = path(QStringLiteral("new/parents/orvex"));

    Installer installer;
    SignalRecorder recorder;
    record(&installer, &recorder);
    installer.install(source, destination);
    QCOMPARE(installer.installDirectory(), destination);
    QTRY_COMPARE_WITH_TIMEOUT(recorder.count(QStringLiteral("finished")), 1, 60000);
    QTest::qWait(50);

    // Everything the thread and its archive reader said arrived in order, finished() last.
    QCOMPARE(recorder.events.last(), QStringLiteral("finished:"));
    QCOMPARE(recorder.count(QStringLiteral("error")), 0);
    QCOMPARE(recorder.count(QStringLiteral("cancelled")), 0);
    const QStringList statuses = recorder.of(QStringLiteral("status"));
    QCOMPARE(statuses.mid(0, 4),
             (QStringList {QStringLiteral("Examining source directory \"%1\"").arg(source),
                           QStringLiteral("Creating destination directory \"%1\"").arg(destination),
                           QStringLiteral("Counting files"), QStringLiteral("Copying files")}));
    QCOMPARE(statuses.at(4).left(12), QStringLiteral("Extracting \""));
    QCOMPARE(recorder.of(QStringLiteral("progress")).last(), QStringLiteral("100"));
    QVERIFY(QFileInfo(destination + QLatin1String("/.installed")).isFile());
    QVERIFY(QFileInfo(destination + QLatin1String("/share/many/file00019.txt")).isFile());
    // The suite's scripts are no dynamic programs: nothing is missing.
    QCOMPARE(installer.missingDependencies(), QStringList());
}

void tst_Installer::destinationExists_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("proceeds");

    QTest::newRow("no") << int(QMessageBox::No) << false;
    QTest::newRow("box closed") << int(QMessageBox::NoButton) << false;
    QTest::newRow("yes") << int(QMessageBox::Yes) << true;
}

void tst_Installer::destinationExists()
{
    QFETCH(int, answer);
    QFETCH(bool, proceeds);

    const QString source = path(QStringLiteral("source"));
    QVERIFY(writeSuite(source));
    const QString destination = path(QStringLiteral("existing"));
    QVERIFY(QDir().mkpath(destination));

    Installer installer;
    SignalRecorder recorder;
    record(&installer, &recorder);
    BoxAnswerer box {QMessageBox::StandardButton(answer)};
    installer.install(source, destination);

    QCOMPARE(box.count, 1);
    QCOMPARE(box.title, QStringLiteral("Destination Exists"));
    QCOMPARE(box.text,
             QStringLiteral("Destination directory \"%1\" already exists. Do you wish to continue?")
                     .arg(destination));
    QCOMPARE(box.buttons, QMessageBox::Yes | QMessageBox::No);

    if (proceeds) {
        QTRY_COMPARE_WITH_TIMEOUT(recorder.count(QStringLiteral("finished")), 1, 60000);
        QCOMPARE(installer.installDirectory(), destination);
        QVERIFY(QFileInfo(destination + QLatin1String("/.installed")).isFile());
    } else {
        // cancelled() at once, and nothing else ever.
        QCOMPARE(recorder.events, QStringList {QStringLiteral("cancelled:")});
        QTest::qWait(100);
        QCOMPARE(recorder.events, QStringList {QStringLiteral("cancelled:")});
        QVERIFY(installer.installDirectory().isNull());
        QCOMPARE(installer.missingDependencies(), QStringList());
        QVERIFY(!QFileInfo::exists(destination + QLatin1String("/bin")));
    }
}

void tst_Installer::destinationIsAFile()
{
    const QString source = path(QStringLiteral("source"));
    QVERIFY(writeSuite(source));
    const QString destination = path(QStringLiteral("plain"));
    QVERIFY(writeFile(destination, "not a directory"));

    Installer installer;
    SignalRecorder recorder;
    record(&installer, &recorder);
    BoxAnswerer box {QMessageBox::Yes};
    installer.install(source, destination);
    QCOMPARE(box.count, 1);
    QTRY_COMPARE_WITH_TIMEOUT(recorder.count(QStringLiteral("error")), 1, 60000);
    QCOMPARE(recorder.of(QStringLiteral("error")).constFirst(),
             QStringLiteral("Could not create destination directory \"%1\". File exists")
                     .arg(destination));
    QTest::qWait(50);
    QCOMPARE(recorder.events.last().left(6), QStringLiteral("error:"));
    QCOMPARE(recorder.count(QStringLiteral("finished")), 0);
    QCOMPARE(recorder.count(QStringLiteral("cancelled")), 0);
}

void tst_Installer::cancelWhenIdle()
{
    Installer installer;
    SignalRecorder recorder;
    record(&installer, &recorder);
    installer.cancel();
    QTest::qWait(20);
    QVERIFY(recorder.events.isEmpty());
}

void tst_Installer::cancelWhileCopying()
{
    const QString source = path(QStringLiteral("source"));
    QVERIFY(writeSuite(source, 3000));

    Installer installer;
    SignalRecorder recorder;
    record(&installer, &recorder);
    // Cancel as a user would, from the event loop, once the copy is under way.
    bool requested = false;
    connect(&installer, &Installer::progress, this, [&] {
        if (!requested) {
            requested = true;
            QTimer::singleShot(0, &installer, &Installer::cancel);
        }
    });
    installer.install(source, path(QStringLiteral("dest")));
    QTRY_COMPARE_WITH_TIMEOUT(recorder.count(QStringLiteral("cancelled")), 1, 60000);
    const int seen = recorder.events.size();
    QTest::qWait(200);
    QCOMPARE(recorder.events.size(), seen);
    QCOMPARE(recorder.events.last(), QStringLiteral("cancelled:"));
    QCOMPARE(recorder.count(QStringLiteral("finished")), 0);
    QCOMPARE(recorder.count(QStringLiteral("error")), 0);
    // Stopped part of the way: not every file is there, and no marker.
    QVERIFY(!QFileInfo::exists(path(QStringLiteral("dest/.installed"))));
    QVERIFY(!QFileInfo::exists(path(QStringLiteral("dest/share/many/file02999.txt"))));
    // A second cancel has nothing left to stop.
    installer.cancel();
    QTest::qWait(20);
    QCOMPARE(recorder.count(QStringLiteral("cancelled")), 1);
}

void tst_Installer::destroyWhileCopying()
{
    const QString source = path(QStringLiteral("source"));
    QVERIFY(writeSuite(source, 3000));

    QPointer<Installer> installer = new Installer;
    SignalRecorder recorder;
    record(installer, &recorder);
    bool destroyed = false;
    connect(installer, &Installer::progress, this, [&] {
        if (!destroyed) {
            destroyed = true;
            QTimer::singleShot(0, [&] { delete installer.data(); });
        }
    });
    installer->install(source, path(QStringLiteral("dest")));
    QTRY_VERIFY_WITH_TIMEOUT(installer.isNull(), 60000);
    const int seen = recorder.events.size();
    QTest::qWait(200);
    QCOMPARE(recorder.events.size(), seen);
    QCOMPARE(recorder.count(QStringLiteral("cancelled")), 0);
    QCOMPARE(recorder.count(QStringLiteral("finished")), 0);
    QVERIFY(!QFileInfo::exists(path(QStringLiteral("dest/.installed"))));
}

QTEST_MAIN(tst_Installer)
#include "tst_installer.moc"
