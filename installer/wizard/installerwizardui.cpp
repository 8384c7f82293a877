#include "installerwizardui.h"

#include "productidentity.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMetaObject>
#include <QProgressBar>
#include <QRadioButton>
#include <QSpacerItem>
#include <QTextBrowser>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWizard>
#include <QWizardPage>

namespace {

QWizardPage *makePage(QWizard *wizard, const char *name, QVBoxLayout **layout,
                      const char *layoutName)
{
    auto *page = new QWizardPage(wizard);
    page->setObjectName(QLatin1String(name));
    *layout = new QVBoxLayout(page);
    (*layout)->setObjectName(QLatin1String(layoutName));
    return page;
}

// A spacer at the top of a page keeps its preferred height; one further down stretches.
QSpacerItem *topSpacer(QVBoxLayout *layout, int height)
{
    auto *spacer = new QSpacerItem(20, height, QSizePolicy::Minimum, QSizePolicy::Preferred);
    layout->addItem(spacer);
    return spacer;
}

QSpacerItem *stretchSpacer(QVBoxLayout *layout, int height)
{
    auto *spacer = new QSpacerItem(20, height, QSizePolicy::Minimum, QSizePolicy::Expanding);
    layout->addItem(spacer);
    return spacer;
}

template<typename Widget> Widget *addWidget(QWizardPage *page, QBoxLayout *layout, const char *name)
{
    auto *widget = new Widget(page);
    widget->setObjectName(QLatin1String(name));
    layout->addWidget(widget);
    return widget;
}

QString tr(const char *text)
{
    return QCoreApplication::translate("InstallerWizard", text);
}

} // namespace

void InstallerWizardUi::setupUi(QWizard *wizard)
{
    if (wizard->objectName().isEmpty())
        wizard->setObjectName(QStringLiteral("InstallerWizard"));
    wizard->resize(650, 450);
    wizard->setWizardStyle(QWizard::ModernStyle);
    wizard->setOptions(QWizard::IndependentPages);

    welcomePage = makePage(wizard, "welcomePage", &verticalLayout, "verticalLayout");
    verticalSpacer = topSpacer(verticalLayout, 46);
    label = addWidget<QLabel>(welcomePage, verticalLayout, "label");
    label_2 = addWidget<QLabel>(welcomePage, verticalLayout, "label_2");
    verticalSpacer_2 = stretchSpacer(verticalLayout, 40);
    wizard->addPage(welcomePage);

    licencePage = makePage(wizard, "licencePage", &verticalLayout_2, "verticalLayout_2");
    licenceTextBrowser =
            addWidget<QTextBrowser>(licencePage, verticalLayout_2, "licenceTextBrowser");
    acceptRadioButton = addWidget<QRadioButton>(licencePage, verticalLayout_2, "acceptRadioButton");
    radioButton_2 = addWidget<QRadioButton>(licencePage, verticalLayout_2, "radioButton_2");
    wizard->addPage(licencePage);

    installTypePage = makePage(wizard, "installTypePage", &verticalLayout_3, "verticalLayout_3");
    verticalSpacer_3 = topSpacer(verticalLayout_3, 80);
    label_3 = addWidget<QLabel>(installTypePage, verticalLayout_3, "label_3");
    allUsersRadioButton =
            addWidget<QRadioButton>(installTypePage, verticalLayout_3, "allUsersRadioButton");
    justForMeRadioButton =
            addWidget<QRadioButton>(installTypePage, verticalLayout_3, "justForMeRadioButton");
    verticalSpacer_4 = stretchSpacer(verticalLayout_3, 159);
    wizard->addPage(installTypePage);

    destinationPage = makePage(wizard, "destinationPage", &verticalLayout_4, "verticalLayout_4");
    verticalSpacer_5 = topSpacer(verticalLayout_4, 80);
    label_4 = addWidget<QLabel>(destinationPage, verticalLayout_4, "label_4");
    horizontalLayout = new QHBoxLayout();
    horizontalLayout->setSpacing(0);
    horizontalLayout->setObjectName(QStringLiteral("horizontalLayout"));
    destLineEdit = addWidget<QLineEdit>(destinationPage, horizontalLayout, "destLineEdit");
    pushButton = addWidget<QToolButton>(destinationPage, horizontalLayout, "pushButton");
    pushButton->setIcon(QIcon(QStringLiteral(":/folder_icon.xpm")));
    verticalLayout_4->addLayout(horizontalLayout);
    label_5 = addWidget<QLabel>(destinationPage, verticalLayout_4, "label_5");
    verticalSpacer_6 = stretchSpacer(verticalLayout_4, 153);
    directoryAdviceLabel =
            addWidget<QLabel>(destinationPage, verticalLayout_4, "directoryAdviceLabel");
    wizard->addPage(destinationPage);

    readyPage = makePage(wizard, "readyPage", &verticalLayout_5, "verticalLayout_5");
    verticalSpacer_7 = topSpacer(verticalLayout_5, 80);
    label_6 = addWidget<QLabel>(readyPage, verticalLayout_5, "label_6");
    label_7 = addWidget<QLabel>(readyPage, verticalLayout_5, "label_7");
    verticalSpacer_8 = stretchSpacer(verticalLayout_5, 187);
    wizard->addPage(readyPage);

    installPage = makePage(wizard, "installPage", &verticalLayout_6, "verticalLayout_6");
    verticalSpacer_9 = topSpacer(verticalLayout_6, 120);
    statusTextLabel = addWidget<QLabel>(installPage, verticalLayout_6, "statusTextLabel");
    progressBar = addWidget<QProgressBar>(installPage, verticalLayout_6, "progressBar");
    progressBar->setValue(0);
    verticalSpacer_10 = stretchSpacer(verticalLayout_6, 142);
    wizard->addPage(installPage);

    cancelPage = makePage(wizard, "cancelPage", &verticalLayout_7, "verticalLayout_7");
    verticalSpacer_11 = topSpacer(verticalLayout_7, 80);
    label_8 = addWidget<QLabel>(cancelPage, verticalLayout_7, "label_8");
    label_9 = addWidget<QLabel>(cancelPage, verticalLayout_7, "label_9");
    verticalSpacer_12 = stretchSpacer(verticalLayout_7, 187);
    wizard->setPage(CancelPageId, cancelPage);

    errorPage = makePage(wizard, "errorPage", &verticalLayout_8, "verticalLayout_8");
    verticalSpacer_13 = topSpacer(verticalLayout_8, 80);
    label_10 = addWidget<QLabel>(errorPage, verticalLayout_8, "label_10");
    label_11 = addWidget<QLabel>(errorPage, verticalLayout_8, "label_11");
    label_11->setWordWrap(true);
    label_11->setOpenExternalLinks(true);
    verticalSpacer_14 = stretchSpacer(verticalLayout_8, 169);
    wizard->setPage(ErrorPageId, errorPage);

    finishPage = makePage(wizard, "finishPage", &verticalLayout_9, "verticalLayout_9");
    verticalSpacer_15 = topSpacer(verticalLayout_9, 80);
    finishTextLabel = addWidget<QLabel>(finishPage, verticalLayout_9, "finishTextLabel");
    finishTextLabel->setWordWrap(true);
    finishTextLabel->setOpenExternalLinks(true);
    verticalSpacer_16 = stretchSpacer(verticalLayout_9, 56);
    releaseNotesCheckBox =
            addWidget<QCheckBox>(finishPage, verticalLayout_9, "releaseNotesCheckBox");
    releaseNotesCheckBox->setChecked(true);
    wizard->setPage(FinishPageId, finishPage);

    retranslateUi(wizard);
    QMetaObject::connectSlotsByName(wizard);
}

void InstallerWizardUi::retranslateUi(QWizard *wizard)
{
    // The support address is a constant of the product, not a translatable text: it is put into
    // the translated sentence, never translated with it.
    const QString support = identityText(productIdentity.supportAddress);
    const QString web = identityText(productIdentity.webAddress);
    const QString linkStyle = QStringLiteral("text-decoration: underline; color:#0000ff;");

    wizard->setWindowTitle(tr("%1 Installer"));
    welcomePage->setTitle(tr("Welcome to the %1 Installer"));
    welcomePage->setSubTitle(QString());
    label->setText(tr("This program will install %1 on your computer."));
    label_2->setText(tr("Click the Next button to continue."));

    licencePage->setTitle(tr("Licence Agreement"));
    acceptRadioButton->setText(tr("I &agree to the terms in the licence agreement."));
    radioButton_2->setText(tr("I &do not accept the terms in the licence agreement."));

    installTypePage->setTitle(tr("Install Type"));
    label_3->setText(tr("Who do you want to install %1 for?"));
    allUsersRadioButton->setText(tr("&All Users"));
    justForMeRadioButton->setText(tr("&Just For Me"));

    destinationPage->setTitle(tr("Destination"));
    label_4->setText(tr("Install %1 to:"));
    destLineEdit->setText(QString());
    pushButton->setText(QString());
    label_5->setText(tr("This directory must be accessible on all the nodes in your cluster."));
    directoryAdviceLabel->setText(tr("Note: this directory path must not contain whitespace."));

    readyPage->setTitle(tr("Ready"));
    label_6->setText(tr("The %1 Installer is ready."));
    label_7->setText(tr("Click the Install button to begin the installation."));

    installPage->setTitle(tr("Install"));
    statusTextLabel->setText(QString());

    cancelPage->setTitle(tr("Cancelled"));
    label_8->setText(tr("The installation was cancelled."));
    label_9->setText(tr("To complete the installation run this installer again."));

    errorPage->setTitle(tr("Error"));
    label_10->setText(tr("There was an error during the installation."));
    label_11->setText(tr("If you continue to have problems installing %1 please contact "
                         "<a href=\"mailto:%2\"><span style=\"%3\">Tavrin</span></a>.")
                              .replace(QLatin1String("%2"), support)
                              .replace(QLatin1String("%3"), linkStyle));

    finishPage->setTitle(tr("Finished"));
    finishTextLabel->setText(
            tr("<html><body>"
               "<p>The installation is finished.<br/>%1 is installed in &quot;%2&quot;.</p>"
               "<p>The suite brings together the debugger Tavrin ZUV, the profiler Tavrin HOK and "
               "the report tool Tavrin Quanta. News and documentation are on "
               "<a href=\"%3\"><span style=\"%5\">the Tavrin web site</span></a>.</p>"
               "<p>Please contact <a href=\"mailto:%4\"><span style=\"%5\">%4</span></a> "
               "for support.</p>"
               "</body></html>")
                    .replace(QLatin1String("%3"), web)
                    .replace(QLatin1String("%4"), support)
                    .replace(QLatin1String("%5"), linkStyle));
    releaseNotesCheckBox->setText(tr("&View the RELEASE-NOTES file"));
}
