#ifndef INSTALLERWIZARD_H
#define INSTALLERWIZARD_H

#include <QString>
#include <QWizard>

// The installation wizard. This is its frame only: it accepts the installation source (checking
// for the licence files) and a preset destination. The pages, their form and the installation
// flow are added with the wizard's own work; until then the window has no pages.
class InstallerWizard : public QWizard
{
    Q_OBJECT

public:
    explicit InstallerWizard(QWidget *parent = nullptr);

    // Remembers the installation source; false when it lacks either licence file.
    bool setSource(const QString &directory);
    void setDestination(const QString &directory);

    QString source() const { return installSource; }
    QString destination() const { return presetDestination; }

private:
    QString installSource;
    QString presetDestination;
};

#endif // INSTALLERWIZARD_H
