// The resource bundle embedded in the installer: every picture at its size, and the toolkit
// path configuration that the toolkit reads from it by itself.
#include "productidentity.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QLibraryInfo>
#include <QSettings>
#include <QtTest>

class tst_Resources : public QObject
{
    Q_OBJECT

private slots:
    void pictures_data();
    void pictures();
    void qtConfiguration_data();
    void qtConfiguration();
    void pluginPathFollowsTheProgram();
};

void tst_Resources::pictures_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QSize>("size");

    const QString icon = identityText(productIdentity.iconName);
    for (int size : {16, 22, 24, 32, 48, 64, 128, 192, 256}) {
        const QString path = QStringLiteral(":/icons/%1x%1/%2.png").arg(size).arg(icon);
        QTest::newRow(qPrintable(path)) << path << QSize(size, size);
    }
    // The banners are the wizard's watermark, drawn for its 164 by 314 pixel slot.
    const QString banner = QStringLiteral(":/%1.png").arg(identityText(productIdentity.bannerName));
    QTest::newRow("product banner") << banner << QSize(164, 314);
    QTest::newRow("company banner") << QStringLiteral(":/banner-tavrin.png") << QSize(164, 314);
    QTest::newRow("folder picture") << QStringLiteral(":/folder_icon.xpm") << QSize(16, 16);
}

void tst_Resources::pictures()
{
    QFETCH(QString, path);
    QFETCH(QSize, size);

    QVERIFY2(QFile::exists(path), qPrintable(path));
    const QImage image(path);
    QVERIFY2(!image.isNull(), qPrintable(path));
    QCOMPARE(image.size(), size);
    // A picture, not an empty canvas: not every pixel has the colour of the centre.
    const QRgb centre = image.pixel(image.width() / 2, image.height() / 2);
    bool varied = false;
    for (int y = 0; y < image.height() && !varied; ++y)
        for (int x = 0; x < image.width() && !varied; ++x)
            varied = image.pixel(x, y) != centre;
    QVERIFY2(varied, qPrintable(path));
}

void tst_Resources::qtConfiguration_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");

    const char *rows[][2] = {{"Documentation", "../doc"},
                             {"Headers", "../include"},
                             {"Libraries", "../lib"},
                             {"Binaries", "."},
                             {"Plugins", "../lib/plugins"},
                             {"Imports", "../imports"},
                             {"Data", "../lib"},
                             {"Translations", "../translations"},
                             {"Settings", "../lib"},
                             {"Examples", "../examples"},
                             {"Demos", "../examples"}};
    for (const auto &row : rows)
        QTest::newRow(row[0]) << QString::fromLatin1(row[0]) << QString::fromLatin1(row[1]);
}

void tst_Resources::qtConfiguration()
{
    QFETCH(QString, key);
    QFETCH(QString, value);

    QSettings configuration(QStringLiteral(":/qt/etc/qt.conf"), QSettings::IniFormat);
    QCOMPARE(configuration.status(), QSettings::NoError);
    QCOMPARE(configuration.childGroups(), QStringList {QStringLiteral("Paths")});
    configuration.beginGroup(QStringLiteral("Paths"));
    QCOMPARE(configuration.childKeys().size(), 11);
    QCOMPARE(configuration.value(key).toString(), value);
}

void tst_Resources::pluginPathFollowsTheProgram()
{
    // The toolkit applies the embedded configuration on its own: its plugin path is now relative
    // to the directory of the program, wherever that lies.
    QCOMPARE(QDir::cleanPath(QLibraryInfo::location(QLibraryInfo::PluginsPath)),
             QDir::cleanPath(QCoreApplication::applicationDirPath() +
                             QLatin1String("/../lib/plugins")));
}

QTEST_MAIN(tst_Resources)
#include "tst_resources.moc"
