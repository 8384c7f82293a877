#include "installerwizard.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QToolButton>
#include <QWizardPage>
#include <QtTest>

class tst_InstallerWizard : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void form();
    void construction();
    void defaultDestination_data();
    void defaultDestination();
    void licenceRule();
    void destinationRule_data();
    void destinationRule();
    void setSource_data();
    void setSource();
    void retranslateOnLanguageChange();
};

template<typename T> static T *child(QWizard &wizard, const char *name)
{
    T *found = wizard.findChild<T *>(QLatin1String(name));
    if (!found)
        qWarning("no %s", name);
    return found;
}

static bool nextEnabled(QWizard &wizard)
{
    return wizard.button(QWizard::NextButton)->isEnabled();
}

void tst_InstallerWizard::cleanup()
{
    InstallerWizard::setUserIdProvider({});
}

void tst_InstallerWizard::form()
{
    InstallerWizard wizard;
    QCOMPARE(wizard.objectName(), QStringLiteral("InstallerWizard"));
    QCOMPARE(wizard.size(), QSize(650, 450));
    QCOMPARE(wizard.wizardStyle(), QWizard::ModernStyle);
    QCOMPARE(wizard.options(), QWizard::WizardOptions(QWizard::IndependentPages));

    const QList<int> ids {0, 1, 2, 3, 4, 5, 100, 101, 102};
    QCOMPARE(wizard.pageIds(), ids);
    const QStringList names {QStringLiteral("welcomePage"),     QStringLiteral("licencePage"),
                             QStringLiteral("installTypePage"), QStringLiteral("destinationPage"),
                             QStringLiteral("readyPage"),       QStringLiteral("installPage"),
                             QStringLiteral("cancelPage"),      QStringLiteral("errorPage"),
                             QStringLiteral("finishPage")};
    const QStringList titles {QStringLiteral("Welcome to the Tavrin Orvex Installer"),
                              QStringLiteral("Licence Agreement"),
                              QStringLiteral("Install Type"),
                              QStringLiteral("Destination"),
                              QStringLiteral("Ready"),
                              QStringLiteral("Install"),
                              QStringLiteral("Cancelled"),
                              QStringLiteral("Error"),
                              QStringLiteral("Finished")};
    for (int i = 0; i < ids.size(); ++i) {
        QWizardPage *page = wizard.page(ids.at(i));
        QCOMPARE(page->objectName(), names.at(i));
        QCOMPARE(page->title(), titles.at(i));
        QCOMPARE(page->layout()->objectName(),
                 i == 0 ? QStringLiteral("verticalLayout")
                        : QStringLiteral("verticalLayout_%1").arg(i + 1));
    }
    QVERIFY(wizard.page(0)->subTitle().isEmpty());

    // The destination page: the red note sits at the foot, below the stretch.
    QLayout *destination = wizard.page(3)->layout();
    QCOMPARE(destination->itemAt(destination->count() - 1)->widget(),
             static_cast<QWidget *>(child<QLabel>(wizard, "directoryAdviceLabel")));
    QVERIFY(destination->itemAt(destination->count() - 2)->spacerItem());
    auto *browse = child<QToolButton>(wizard, "pushButton");
    QVERIFY(browse->text().isEmpty());
    QVERIFY(!browse->icon().isNull());
    // The licence page has no spacer: the browser takes the free height.
    QLayout *licence = wizard.page(1)->layout();
    QCOMPARE(licence->count(), 3);
    QCOMPARE(child<QProgressBar>(wizard, "progressBar")->value(), 0);
    QVERIFY(child<QCheckBox>(wizard, "releaseNotesCheckBox")->isChecked());
    QVERIFY(!child<QRadioButton>(wizard, "acceptRadioButton")->isChecked());
    QVERIFY(!child<QRadioButton>(wizard, "radioButton_2")->isChecked());

    const QList<QPair<const char *, QString>> texts {
            {"label", QStringLiteral("This program will install Tavrin Orvex on your computer.")},
            {"label_2", QStringLiteral("Click the Next button to continue.")},
            {"acceptRadioButton",
             QStringLiteral("I &agree to the terms in the licence agreement.")},
            {"radioButton_2",
             QStringLiteral("I &do not accept the terms in the licence agreement.")},
            {"label_3", QStringLiteral("Who do you want to install Tavrin Orvex for?")},
            {"justForMeRadioButton", QStringLiteral("&Just For Me")},
            {"label_4", QStringLiteral("Install Tavrin Orvex to:")},
            {"label_5",
             QStringLiteral("This directory must be accessible on all the nodes in your cluster.")},
            {"directoryAdviceLabel",
             QStringLiteral("Note: this directory path must not contain whitespace.")},
            {"label_6", QStringLiteral("The Tavrin Orvex Installer is ready.")},
            {"label_7", QStringLiteral("Click the Install button to begin the installation.")},
            {"statusTextLabel", QString()},
            {"label_8", QStringLiteral("The installation was cancelled.")},
            {"label_9", QStringLiteral("To complete the installation run this installer again.")},
            {"label_10", QStringLiteral("There was an error during the installation.")},
            {"releaseNotesCheckBox", QStringLiteral("&View the RELEASE-NOTES file")},
    };
    for (const auto &text : texts) {
        QWidget *widget = wizard.findChild<QWidget *>(QLatin1String(text.first));
        QVERIFY2(widget, text.first);
        QCOMPARE(widget->property("text").toString(), text.second);
    }
}

void tst_InstallerWizard::construction()
{
    InstallerWizard wizard;
    QCOMPARE(wizard.windowTitle(), QStringLiteral("Tavrin Orvex Installer"));

    const QString error = child<QLabel>(wizard, "label_11")->text();
    QVERIFY2(error.startsWith(QStringLiteral(
                     "If you continue to have problems installing Tavrin Orvex please contact <a "
                     "href=\"mailto:support@tavrin.example\">")),
             qPrintable(error));
    QVERIFY(error.endsWith(QStringLiteral("Tavrin</span></a>.")));
    QVERIFY(error.contains(QStringLiteral("color:#0000ff")));

    // The finish text has its product name now and keeps %2 for the destination.
    const QString finish = child<QLabel>(wizard, "finishTextLabel")->text();
    QVERIFY2(finish.contains(QStringLiteral(
                     "The installation is finished.<br/>Tavrin Orvex is installed in "
                     "&quot;%2&quot;.")),
             qPrintable(finish));
    QVERIFY(finish.contains(QStringLiteral("Tavrin ZUV")) &&
            finish.contains(QStringLiteral("Tavrin HOK")) &&
            finish.contains(QStringLiteral("Tavrin Quanta")));
    QVERIFY(finish.contains(QStringLiteral(
            "Please contact <a href=\"mailto:support@tavrin.example\"><span "
            "style=\"text-decoration: "
            "underline; color:#0000ff;\">support@tavrin.example</span></a> for support.")));
    QVERIFY(child<QLabel>(wizard, "finishTextLabel")->wordWrap());
    QVERIFY(child<QLabel>(wizard, "finishTextLabel")->openExternalLinks());
    QVERIFY(child<QLabel>(wizard, "label_11")->openExternalLinks());

    for (int id : {100, 101, 102})
        QVERIFY(wizard.page(id)->isFinalPage());
    for (int id : {0, 1, 2, 3})
        QVERIFY(!wizard.page(id)->isCommitPage());
    QVERIFY(wizard.page(4)->isCommitPage());
    QVERIFY(wizard.page(5)->isCommitPage());
    QCOMPARE(wizard.page(4)->buttonText(QWizard::CommitButton), QStringLiteral("Install"));
    QCOMPARE(wizard.page(5)->buttonText(QWizard::CommitButton), QStringLiteral("Install"));

    QList<QSize> sizes;
    for (int size : {16, 22, 24, 32, 48, 64, 128, 192, 256})
        sizes.append(QSize(size, size));
    QList<QSize> available = wizard.windowIcon().availableSizes();
    std::sort(available.begin(), available.end(),
              [](const QSize &a, const QSize &b) { return a.width() < b.width(); });
    QCOMPARE(available, sizes);
    QCOMPARE(QApplication::windowIcon().availableSizes().size(), 9);

    const QPixmap banner = wizard.page(0)->pixmap(QWizard::WatermarkPixmap);
    QCOMPARE(banner.size(), QSize(164, 314));
    QVERIFY(wizard.sideWidget());

    auto *advice = child<QLabel>(wizard, "directoryAdviceLabel");
    QVERIFY(advice->isHidden());
    // Red still once the window is up and styled, not only as constructed.
    wizard.show();
    QVERIFY(QTest::qWaitForWindowExposed(&wizard));
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        QCOMPARE(advice->palette().color(group, advice->foregroundRole()), QColor(Qt::red));
    advice->show();
    QImage picture(advice->size(), QImage::Format_RGB32);
    advice->render(&picture);
    bool red = false;
    for (int y = 0; y < picture.height() && !red; ++y)
        for (int x = 0; x < picture.width() && !red; ++x) {
            const QColor pixel = picture.pixelColor(x, y);
            red = pixel.red() > 200 && pixel.green() < 80 && pixel.blue() < 80;
        }
    QVERIFY2(red, "the advice is drawn in red");
}

void tst_InstallerWizard::defaultDestination_data()
{
    QTest::addColumn<unsigned>("userId");
    QTest::addColumn<QString>("destination");
    QTest::addColumn<bool>("allUsers");
    QTest::addColumn<QString>("allUsersText");

    QTest::newRow("ordinary user")
            << 1000u << QDir::home().filePath(QStringLiteral("tavrin/orvex/26.0.2")) << false
            << QStringLiteral("&All Users (must be root)");
    QTest::newRow("root") << 0u << QStringLiteral("/opt/tavrin/orvex/26.0.2") << true
                          << QStringLiteral("&All Users");
}

void tst_InstallerWizard::defaultDestination()
{
    QFETCH(unsigned, userId);
    QFETCH(QString, destination);
    QFETCH(bool, allUsers);
    QFETCH(QString, allUsersText);

    InstallerWizard::setUserIdProvider([userId] { return userId; });
    InstallerWizard wizard;
    QCOMPARE(child<QLineEdit>(wizard, "destLineEdit")->text(), destination);
    auto *allUsersButton = child<QRadioButton>(wizard, "allUsersRadioButton");
    auto *justForMe = child<QRadioButton>(wizard, "justForMeRadioButton");
    QCOMPARE(allUsersButton->isChecked(), allUsers);
    QCOMPARE(justForMe->isChecked(), !allUsers);
    QCOMPARE(allUsersButton->isEnabled(), allUsers);
    QCOMPARE(allUsersButton->text(), allUsersText);
    // The default is an acceptable destination: no note.
    QVERIFY(child<QLabel>(wizard, "directoryAdviceLabel")->isHidden());
}

void tst_InstallerWizard::licenceRule()
{
    InstallerWizard wizard;
    wizard.show();
    QCOMPARE(wizard.currentId(), 0);
    QVERIFY(nextEnabled(wizard));
    wizard.next();
    QCOMPARE(wizard.currentId(), 1);
    QVERIFY(!nextEnabled(wizard));

    auto *accept = child<QRadioButton>(wizard, "acceptRadioButton");
    auto *decline = child<QRadioButton>(wizard, "radioButton_2");
    accept->click();
    QVERIFY(nextEnabled(wizard));
    decline->click();
    QVERIFY(!accept->isChecked());
    QVERIFY(!nextEnabled(wizard));
    accept->click();
    QVERIFY(nextEnabled(wizard));

    wizard.next();
    QCOMPARE(wizard.currentId(), 2);
    wizard.back();
    QCOMPARE(wizard.currentId(), 1);
    QVERIFY(accept->isChecked());
    QVERIFY(nextEnabled(wizard));
    wizard.back();
    wizard.next();
    QVERIFY(nextEnabled(wizard));

    // Walk on to the confirmation page: 2, 3, 4.
    wizard.next();
    wizard.next();
    QCOMPARE(wizard.currentId(), 3);
    wizard.next();
    QCOMPARE(wizard.currentId(), 4);
    QCOMPARE(wizard.button(QWizard::CommitButton)->text(), QStringLiteral("Install"));
}

void tst_InstallerWizard::destinationRule_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("acceptable");

    QTest::newRow("absolute path") << QStringLiteral("/opt/orvex") << true;
    QTest::newRow("relative path") << QStringLiteral("orvex") << true;
    QTest::newRow("empty") << QString() << false;
    QTest::newRow("inner space") << QStringLiteral("/opt/my orvex") << false;
    QTest::newRow("trailing space") << QStringLiteral("/opt/orvex ") << false;
    QTest::newRow("tab") << QStringLiteral("/opt/\torvex") << false;
    QTest::newRow("line feed") << QStringLiteral("/opt/\norvex") << false;
}

void tst_InstallerWizard::destinationRule()
{
    QFETCH(QString, text);
    QFETCH(bool, acceptable);

    InstallerWizard wizard;
    wizard.show();
    wizard.next();
    child<QRadioButton>(wizard, "acceptRadioButton")->click();
    wizard.next();
    wizard.next();
    QCOMPARE(wizard.currentId(), 3);
    auto *advice = child<QLabel>(wizard, "directoryAdviceLabel");

    // Typed into the field, and given by the command line: the same rule.
    child<QLineEdit>(wizard, "destLineEdit")->setText(text);
    QCOMPARE(nextEnabled(wizard), acceptable);
    QCOMPARE(advice->isVisible(), !acceptable);

    wizard.setDestination(QStringLiteral("/fine"));
    QVERIFY(nextEnabled(wizard));
    QVERIFY(!advice->isVisible());
    wizard.setDestination(text);
    QCOMPARE(nextEnabled(wizard), acceptable);
    QCOMPARE(advice->isVisible(), !acceptable);
    QCOMPARE(child<QLineEdit>(wizard, "destLineEdit")->text(), text);
}

void tst_InstallerWizard::setSource_data()
{
    QTest::addColumn<bool>("agreement");
    QTest::addColumn<bool>("supplementary");

    QTest::newRow("both") << true << true;
    QTest::newRow("agreement only") << true << false;
    QTest::newRow("supplementary only") << false << true;
    QTest::newRow("neither") << false << false;
}

void tst_InstallerWizard::setSource()
{
    QFETCH(bool, agreement);
    QFETCH(bool, supplementary);

    QTemporaryDir source;
    QVERIFY(source.isValid());
    QVERIFY(QDir(source.path()).mkdir(QStringLiteral("license_terms")));
    const auto write = [&](const char *name, const QByteArray &text) {
        QFile file(source.filePath(QStringLiteral("license_terms/") + QLatin1String(name)));
        return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
    };
    if (agreement)
        QVERIFY(write("license_agreement.txt", "The agreement.\nSecond line."));
    if (supplementary)
        QVERIFY(write("supplementary_terms.txt", "The terms."));

    InstallerWizard wizard;
    QCOMPARE(wizard.setSource(source.path()), agreement && supplementary);
    const QString shown = child<QTextBrowser>(wizard, "licenceTextBrowser")->toPlainText();
    if (agreement && supplementary)
        QCOMPARE(shown, QStringLiteral("The agreement.\nSecond line.\n\nThe terms."));
    else
        QVERIFY(shown.isEmpty());
}

void tst_InstallerWizard::retranslateOnLanguageChange()
{
    InstallerWizard wizard;
    wizard.setDestination(QStringLiteral("/opt/x"));
    QEvent change(QEvent::LanguageChange);
    QApplication::sendEvent(&wizard, &change);
    // The form's texts come back as the form holds them: placeholders and an empty field.
    QCOMPARE(wizard.windowTitle(), QStringLiteral("%1 Installer"));
    QCOMPARE(child<QLabel>(wizard, "label")->text(),
             QStringLiteral("This program will install %1 on your computer."));
    QVERIFY(child<QLineEdit>(wizard, "destLineEdit")->text().isEmpty());
    QVERIFY(child<QLabel>(wizard, "statusTextLabel")->text().isEmpty());
}

QTEST_MAIN(tst_InstallerWizard)
#include "tst_installerwizard.moc"
