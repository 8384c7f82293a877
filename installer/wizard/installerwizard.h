#ifndef INSTALLERWIZARD_H
#define INSTALLERWIZARD_H

#include <QString>
#include <QWizard>

#include <functional>
#include <memory>

class Installer;
struct InstallerWizardUi;

// The installer's main window: welcome, licence, install type, destination and confirmation,
// then the installation's progress and one of three final pages.
class InstallerWizard : public QWizard
{
    Q_OBJECT

public:
    explicit InstallerWizard(QWidget *parent = nullptr);
    ~InstallerWizard() override;

    // Remembers the installation source and shows its licence terms; false when either licence
    // file is missing.
    bool setSource(const QString &directory);
    void setDestination(const QString &directory);

    int nextId() const override;
    void accept() override;
    void reject() override;

    // The real user id decides the default destination and install type. Tests replace the
    // question; an empty function restores the system's answer.
    static void setUserIdProvider(std::function<unsigned()> provider);

protected:
    void changeEvent(QEvent *event) override;

private slots:
    void on_acceptRadioButton_toggled(bool checked);
    void on_pushButton_clicked();
    void installer_finished();
    void installer_cancelled();
    void installer_error(QString message);
    void pageChanged();
    void verifyDest();

private:
    void applyProductName();
    void setNextEnabled(bool enabled);

    void startInstallation();
    void moveTo(int pageId);

    std::unique_ptr<InstallerWizardUi> form;
    // A child of the wizard, made when the progress page is entered.
    Installer *installer = nullptr;
    QString installSource;
    mutable int forcedNextId = -1;
};

#endif // INSTALLERWIZARD_H
