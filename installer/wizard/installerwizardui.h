#ifndef INSTALLERWIZARDUI_H
#define INSTALLERWIZARDUI_H

class QCheckBox;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QProgressBar;
class QRadioButton;
class QSpacerItem;
class QTextBrowser;
class QToolButton;
class QVBoxLayout;
class QWizard;
class QWizardPage;

// The installer wizard's form: every page, layout, spacer and widget, by the object names the
// wizard's code and its slots-by-name rely on. The widgets belong to their pages and the pages
// to the wizard; this record only points at them.
struct InstallerWizardUi
{
    enum PageId {
        WelcomePageId = 0,
        LicencePageId = 1,
        InstallTypePageId = 2,
        DestinationPageId = 3,
        ReadyPageId = 4,
        InstallPageId = 5,
        CancelPageId = 100,
        ErrorPageId = 101,
        FinishPageId = 102
    };

    QWizardPage *welcomePage;
    QVBoxLayout *verticalLayout;
    QSpacerItem *verticalSpacer;
    QLabel *label;
    QLabel *label_2;
    QSpacerItem *verticalSpacer_2;

    QWizardPage *licencePage;
    QVBoxLayout *verticalLayout_2;
    QTextBrowser *licenceTextBrowser;
    QRadioButton *acceptRadioButton;
    QRadioButton *radioButton_2;

    QWizardPage *installTypePage;
    QVBoxLayout *verticalLayout_3;
    QSpacerItem *verticalSpacer_3;
    QLabel *label_3;
    QRadioButton *allUsersRadioButton;
    QRadioButton *justForMeRadioButton;
    QSpacerItem *verticalSpacer_4;

    QWizardPage *destinationPage;
    QVBoxLayout *verticalLayout_4;
    QSpacerItem *verticalSpacer_5;
    QLabel *label_4;
    QHBoxLayout *horizontalLayout;
    QLineEdit *destLineEdit;
    QToolButton *pushButton;
    QLabel *label_5;
    QSpacerItem *verticalSpacer_6;
    QLabel *directoryAdviceLabel;

    QWizardPage *readyPage;
    QVBoxLayout *verticalLayout_5;
    QSpacerItem *verticalSpacer_7;
    QLabel *label_6;
    QLabel *label_7;
    QSpacerItem *verticalSpacer_8;

    QWizardPage *installPage;
    QVBoxLayout *verticalLayout_6;
    QSpacerItem *verticalSpacer_9;
    QLabel *statusTextLabel;
    QProgressBar *progressBar;
    QSpacerItem *verticalSpacer_10;

    QWizardPage *cancelPage;
    QVBoxLayout *verticalLayout_7;
    QSpacerItem *verticalSpacer_11;
    QLabel *label_8;
    QLabel *label_9;
    QSpacerItem *verticalSpacer_12;

    QWizardPage *errorPage;
    QVBoxLayout *verticalLayout_8;
    QSpacerItem *verticalSpacer_13;
    QLabel *label_10;
    QLabel *label_11;
    QSpacerItem *verticalSpacer_14;

    QWizardPage *finishPage;
    QVBoxLayout *verticalLayout_9;
    QSpacerItem *verticalSpacer_15;
    QLabel *finishTextLabel;
    QSpacerItem *verticalSpacer_16;
    QCheckBox *releaseNotesCheckBox;

    // Builds every page on the wizard, adds them with their ids, sets the texts and connects the
    // wizard's on_<object>_<signal> slots.
    void setupUi(QWizard *wizard);
    // Sets the window title and every text again (the destination field and the status line
    // become empty), with the placeholders unfilled.
    void retranslateUi(QWizard *wizard);
};

#endif // INSTALLERWIZARDUI_H
