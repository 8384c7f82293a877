#ifndef INSTALLATIONDIRECTORIES_H
#define INSTALLATIONDIRECTORIES_H

#include <QString>

// Where the installed suite's parts are, relative to its root, and the base of temporary files.
class InstallationDirectories
{
public:
    InstallationDirectories();

    void setRoot(const QString &root);
    void setAll(const QString &directory);
    void initFromProgramLocation();

    QString root() const { return rootPath; }
    QString bin() const { return binPath; }
    QString lib() const { return libPath; }
    QString libexec() const { return libexecPath; }
    QString configDirectoryName() const { return configName; }
    QString resource() const { return resourcePath; }
    QString icons() const { return iconsPath; }
    QString metrics() const { return metricsPath; }
    QString temporaryBase() const { return temporaryBasePath; }

private:
    QString rootPath;
    QString binPath;
    QString libPath;
    QString libexecPath;
    QString configName;
    QString resourcePath;
    QString iconsPath;
    QString metricsPath;
    QString temporaryBasePath;
};

#endif // INSTALLATIONDIRECTORIES_H
