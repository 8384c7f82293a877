#include "installerwizard.h"

#include "installer.h"
#include "installerwizardui.h"
#include "productidentity.h"
#include "viewer.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPixmap>
#include <QProgressBar>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTextBrowser>
#include <QTextStream>
#include <QWizardPage>

#include <unistd.h>

namespace {

std::function<unsigned()> &userIdProvider()
{
    static std::function<unsigned()> provider;
    return provider;
}

unsigned realUserId()
{
    const std::function<unsigned()> &provider = userIdProvider();
    return provider ? provider() : unsigned(::getuid());
}

} // namespace

void InstallerWizard::setUserIdProvider(std::function<unsigned()> provider)
{
    userIdProvider() = std::move(provider);
}

InstallerWizard::InstallerWizard(QWidget *parent)
    : QWizard(parent), form(std::make_unique<InstallerWizardUi>())
{
    form->setupUi(this);
    setSideWidget(new QWidget(this));

    connect(this, &QWizard::currentIdChanged, this, &InstallerWizard::pageChanged);

    const QString iconName = identityText(productIdentity.iconName);
    QIcon icon;
    for (int size : {256, 192, 128, 64, 48, 32, 24, 22, 16})
        icon.addFile(QStringLiteral(":/icons/%1x%1/%2.png").arg(size).arg(iconName),
                     QSize(size, size), QIcon::Normal, QIcon::Off);
    QApplication::setWindowIcon(icon);
    setWindowIcon(icon);

    applyProductName();

    form->cancelPage->setFinalPage(true);
    form->errorPage->setFinalPage(true);
    form->finishPage->setFinalPage(true);
    form->readyPage->setCommitPage(true);
    form->installPage->setCommitPage(true);

    form->welcomePage->setPixmap(
            QWizard::WatermarkPixmap,
            QPixmap(QStringLiteral(":/%1.png").arg(identityText(productIdentity.bannerName))));
    form->readyPage->setButtonText(QWizard::CommitButton, tr("Install"));
    form->installPage->setButtonText(QWizard::CommitButton, tr("Install"));

    // Connected before the field is filled, so the default destination is checked too.
    connect(form->destLineEdit, &QLineEdit::textChanged, this, &InstallerWizard::verifyDest);

    // The label draws with its foreground role, which follows the page's background: Text on the
    // white pages of the modern style, WindowText elsewhere. Both are made red.
    QPalette advice = form->directoryAdviceLabel->palette();
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        advice.setColor(group, QPalette::WindowText, Qt::red);
        advice.setColor(group, QPalette::Text, Qt::red);
    }
    form->directoryAdviceLabel->setPalette(advice);
    form->directoryAdviceLabel->hide();

    if (realUserId() != 0) {
        form->destLineEdit->setText(
                QDir::home().filePath(identityText(productIdentity.userInstallSubdirectory)));
        form->justForMeRadioButton->setChecked(true);
        form->allUsersRadioButton->setEnabled(false);
        form->allUsersRadioButton->setText(tr("&All Users (must be root)"));
    } else {
        form->destLineEdit->setText(identityText(productIdentity.systemInstallDirectory));
        form->allUsersRadioButton->setChecked(true);
    }
}

InstallerWizard::~InstallerWizard() = default;

void InstallerWizard::applyProductName()
{
    // arg() fills the lowest placeholder only: the finish text keeps its %2 for the destination.
    const QString product = identityText(productIdentity.productName);
    setWindowTitle(windowTitle().arg(product));
    form->welcomePage->setTitle(form->welcomePage->title().arg(product));
    for (QLabel *label : {form->label, form->label_3, form->label_4, form->label_6, form->label_11,
                          form->finishTextLabel})
        label->setText(label->text().arg(product));
}

bool InstallerWizard::setSource(const QString &directory)
{
    installSource = directory;
    const QDir terms(QDir(directory).filePath(QStringLiteral("license_terms")));
    QFile agreement(terms.filePath(QStringLiteral("license_agreement.txt")));
    QFile supplementary(terms.filePath(QStringLiteral("supplementary_terms.txt")));
    if (!agreement.exists() || !supplementary.exists())
        return false;
    if (agreement.open(QIODevice::ReadOnly | QIODevice::Text) &&
        supplementary.open(QIODevice::ReadOnly | QIODevice::Text)) {
        QTextStream agreementText(&agreement);
        QTextStream supplementaryText(&supplementary);
        form->licenceTextBrowser->setText(agreementText.readAll() + QLatin1String("\n\n") +
                                          supplementaryText.readAll());
    }
    return true;
}

void InstallerWizard::setDestination(const QString &directory)
{
    form->destLineEdit->setText(directory);
}

void InstallerWizard::setNextEnabled(bool enabled)
{
    if (QAbstractButton *next = button(QWizard::NextButton))
        next->setEnabled(enabled);
}

void InstallerWizard::on_acceptRadioButton_toggled(bool checked)
{
    setNextEnabled(checked);
}

void InstallerWizard::verifyDest()
{
    static const QRegularExpression noWhitespace(QStringLiteral("^\\S+$"));
    const bool acceptable = noWhitespace.match(form->destLineEdit->text()).hasMatch();
    setNextEnabled(acceptable);
    form->directoryAdviceLabel->setVisible(!acceptable);
}

void InstallerWizard::on_pushButton_clicked()
{
    QFileDialog dialog(this, tr("Select a Destination Directory"), form->destLineEdit->text());
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    if (dialog.exec() == QDialog::Accepted) {
        const QStringList selected = dialog.selectedFiles();
        if (!selected.isEmpty())
            form->destLineEdit->setText(selected.constFirst());
    }
}

void InstallerWizard::pageChanged()
{
    const int id = currentId();
    if (id == InstallerWizardUi::InstallPageId)
        startInstallation();
    else if (id == InstallerWizardUi::LicencePageId)
        setNextEnabled(form->acceptRadioButton->isChecked());
    else if (id == InstallerWizardUi::FinishPageId)
        button(QWizard::CancelButton)->setEnabled(false);
}

// A destination such as "~/tavrin" or "orvex" means what a shell would make of it, not a
// directory named "~" or one below whatever the working directory happens to be.
static QString absoluteDestination(const QString &text)
{
    QString path = text;
    if (path == QLatin1String("~") || path.startsWith(QLatin1String("~/")))
        path.replace(0, 1, QDir::homePath());
    return QDir::cleanPath(QDir::current().absoluteFilePath(path));
}

void InstallerWizard::startInstallation()
{
    // Shown as installed: the field, and with it the finish page, name the absolute path.
    form->destLineEdit->setText(absoluteDestination(form->destLineEdit->text()));

    installer = new Installer(this);
    connect(installer, &Installer::finished, this, &InstallerWizard::installer_finished);
    connect(installer, &Installer::cancelled, this, &InstallerWizard::installer_cancelled);
    connect(installer, &Installer::error, this, &InstallerWizard::installer_error);
    connect(installer, &Installer::status, form->statusTextLabel, &QLabel::setText);
    connect(installer, &Installer::progress, form->progressBar, &QProgressBar::setValue);
    installer->install(installSource, form->destLineEdit->text());
    if (QAbstractButton *commit = button(QWizard::CommitButton))
        commit->setEnabled(false);
}

void InstallerWizard::moveTo(int pageId)
{
    forcedNextId = pageId;
    next();
}

void InstallerWizard::installer_cancelled()
{
    moveTo(InstallerWizardUi::CancelPageId);
}

void InstallerWizard::installer_error(QString message)
{
    QMessageBox::critical(this, tr("Install Error"), message, QMessageBox::Ok);
    moveTo(InstallerWizardUi::ErrorPageId);
}

void InstallerWizard::installer_finished()
{
    const QString product = identityText(productIdentity.productName);
    const QStringList missing = installer->missingDependencies();
    if (!missing.isEmpty()) {
        const QString text = missing.size() == 1
                ? tr("The shared library %1 is not installed.\n"
                     "%2 may not run correctly without this library.")
                          .arg(missing.constFirst(), product)
                : tr("The shared libraries %1 are not installed.\n"
                     "%2 may not run correctly without these libraries.")
                          .arg(missing.join(tr(", ")), product);
        QMessageBox::warning(parentWidget(), tr("Missing Dependancies"), text, QMessageBox::Ok);
    }

    const QString destination = form->destLineEdit->text();
    form->statusTextLabel->setText(tr("Adding icons to desktop menu"));
    installer->installMenuIcons(destination);
    form->statusTextLabel->setText(tr("Creating file association"));
    installer->installMimeTypes();
    form->statusTextLabel->setText(tr("Cleaning up files from previous installation(s)"));
    installer->runPostInstallScript();
    form->statusTextLabel->setText(tr("Finished"));

    form->finishTextLabel->setText(form->finishTextLabel->text().arg(destination));
    moveTo(InstallerWizardUi::FinishPageId);
}

int InstallerWizard::nextId() const
{
    const int id = currentId();
    if (id == InstallerWizardUi::ErrorPageId || id == InstallerWizardUi::CancelPageId)
        return -1;
    if (forcedNextId == -1)
        return QWizard::nextId();
    const int next = forcedNextId;
    forcedNextId = -1;
    return next;
}

void InstallerWizard::accept()
{
    if (currentId() == InstallerWizardUi::FinishPageId && form->releaseNotesCheckBox->isChecked()) {
        const QString notes = QDir(QDir(form->destLineEdit->text()).filePath(QStringLiteral("doc")))
                                      .filePath(QStringLiteral("RELEASE-NOTES"));
        // Owned by itself: it deletes itself when closed, and outlives the wizard.
        (new Viewer(notes))->show();
    }
    QWizard::accept();
}

void InstallerWizard::reject()
{
    // During the installation Cancel (or Escape, or closing the window) asks the installer to
    // stop; the page that follows comes from its answer.
    if (currentId() == InstallerWizardUi::InstallPageId && installer) {
        installer->cancel();
        return;
    }
    QWizard::reject();
}

void InstallerWizard::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        form->retranslateUi(this);
    QWizard::changeEvent(event);
}
