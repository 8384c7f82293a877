#include "installerwizard.h"

#include "productidentity.h"

#include <QDir>
#include <QFileInfo>

InstallerWizard::InstallerWizard(QWidget *parent) : QWizard(parent)
{
    setWindowTitle(tr("%1 Installer").arg(identityText(productIdentity.productName)));
}

bool InstallerWizard::setSource(const QString &directory)
{
    installSource = directory;
    const QDir terms(QDir(directory).filePath(QStringLiteral("license_terms")));
    return QFileInfo::exists(terms.filePath(QStringLiteral("license_agreement.txt"))) &&
        QFileInfo::exists(terms.filePath(QStringLiteral("supplementary_terms.txt")));
}

void InstallerWizard::setDestination(const QString &directory) { presetDestination = directory; }
