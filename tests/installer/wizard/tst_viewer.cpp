#include "viewer.h"

#include <QFile>
#include <QFontMetrics>
#include <QPointer>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QtTest>

class tst_Viewer : public QObject
{
    Q_OBJECT

private slots:
    void showsFileLiterally();
    void missingFile();
    void sizeFollowsTheFont();
    void deletesItselfWhenClosed();
};

static const char sampleLine[] =
        "    Your chosen program will be run using mpirun. If you have problems startingMMMMM";

void tst_Viewer::showsFileLiterally()
{
    QTemporaryDir directory;
    QVERIFY(directory.isValid());
    const QString path = directory.filePath(QStringLiteral("RELEASE-NOTES"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    const QByteArray text = "Notes with <b>bold</b> &amp; <i>tags</i>\nsecond line\n";
    QCOMPARE(file.write(text), qint64(text.size()));
    file.close();

    QPointer<Viewer> viewer = new Viewer(path);
    QCOMPARE(viewer->windowTitle(), QStringLiteral("RELEASE-NOTES"));
    auto *browser = qobject_cast<QTextBrowser *>(viewer->centralWidget());
    QVERIFY(browser);
    QVERIFY(browser->isReadOnly());
    QCOMPARE(browser->frameShape(), QFrame::Panel);
    QCOMPARE(browser->frameShadow(), QFrame::Sunken);
    // Shown as written: the tags are text, not formatting.
    QCOMPARE(browser->toPlainText(), QString::fromLatin1(text));
    QVERIFY(viewer->testAttribute(Qt::WA_DeleteOnClose));
    delete viewer;
}

void tst_Viewer::missingFile()
{
    QTemporaryDir directory;
    QScopedPointer<Viewer> viewer(
            new Viewer(directory.filePath(QStringLiteral("doc/RELEASE-NOTES"))));
    QCOMPARE(viewer->windowTitle(), QStringLiteral("RELEASE-NOTES"));
    auto *browser = qobject_cast<QTextBrowser *>(viewer->centralWidget());
    QVERIFY(browser);
    QVERIFY(browser->toPlainText().isEmpty());
}

void tst_Viewer::sizeFollowsTheFont()
{
    QTemporaryDir directory;
    const QString path = directory.filePath(QStringLiteral("notes"));
    QScopedPointer<Viewer> small(new Viewer(path));
    const QFontMetrics metrics(small->centralWidget()->font());
    QCOMPARE(small->size(),
             QSize(metrics.horizontalAdvance(QString::fromLatin1(sampleLine)),
                   40 * metrics.lineSpacing()));

    QFont larger = QApplication::font();
    larger.setPointSizeF(larger.pointSizeF() * 2);
    const QFont previous = QApplication::font();
    QApplication::setFont(larger);
    QScopedPointer<Viewer> large(new Viewer(path));
    QApplication::setFont(previous);
    QVERIFY(large->width() > small->width());
    QVERIFY(large->height() > small->height());
}

void tst_Viewer::deletesItselfWhenClosed()
{
    QPointer<Viewer> viewer = new Viewer(QStringLiteral("/nonexistent/RELEASE-NOTES"));
    viewer->show();
    QVERIFY(QTest::qWaitForWindowExposed(viewer));
    QCOMPARE(QApplication::focusWidget(), viewer->centralWidget());
    viewer->close();
    QTRY_VERIFY(viewer.isNull());
}

QTEST_MAIN(tst_Viewer)
#include "tst_viewer.moc"
