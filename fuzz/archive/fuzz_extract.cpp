// Arbitrary bytes as an archive: counting and extraction may fail, but must not crash, and must
// write nothing outside the destination, neither beside it nor through links it made.

#include "tar.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>
#include <sys/stat.h>

namespace {

const QByteArray canaryText("must stay as it is\n");

// Extraction may leave directories without write or search permission; give them back so that
// the tree can go.
void removeTree(const QString &path)
{
    ::chmod(QFile::encodeName(path).constData(), 0700);
    QDirIterator it(path, QDir::Dirs | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString next = it.next();
        if (!QFileInfo(next).isSymLink())
            ::chmod(QFile::encodeName(next).constData(), 0700);
    }
    QDir(path).removeRecursively();
}

// root/canary, root/input.tar and root/work/destination: after each input, root and work hold
// exactly these and the canary is unchanged.
struct Sandbox
{
    QTemporaryDir root;
    QString canary = root.filePath(QStringLiteral("canary"));
    QString archive = root.filePath(QStringLiteral("input.tar"));
    QString work = root.filePath(QStringLiteral("work"));
    QString destination = root.filePath(QStringLiteral("work/destination"));

    Sandbox()
    {
        QFile file(canary);
        if (!root.isValid() || !QDir().mkpath(work) || !file.open(QIODevice::WriteOnly) ||
            file.write(canaryText) != canaryText.size())
            std::abort();
    }
    ~Sandbox() { removeTree(destination); }
};

QStringList entries(const QString &directory)
{
    return QDir(directory).entryList(
            QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static Sandbox sandbox;
    {
        QFile file(sandbox.archive);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write(reinterpret_cast<const char *>(data), qint64(size)) != qint64(size))
            std::abort();
    }
    removeTree(sandbox.destination);
    if (!QDir().mkpath(sandbox.destination))
        std::abort();

    Tar tar(nullptr);
    const int count = tar.countEntries(sandbox.archive);
    // Extraction runs whatever the count said: it must stand on its own.
    tar.extract(sandbox.archive, sandbox.destination, count > 0 ? count : 1);

    QFile canary(sandbox.canary);
    const bool intact = QFileInfo(sandbox.canary).isFile() &&
            !QFileInfo(sandbox.canary).isSymLink() && canary.open(QIODevice::ReadOnly) &&
            canary.readAll() == canaryText;
    if (!intact ||
        entries(sandbox.root.path()) !=
                QStringList({QStringLiteral("canary"), QStringLiteral("input.tar"),
                             QStringLiteral("work")}) ||
        entries(sandbox.work) != QStringList {QStringLiteral("destination")})
        std::abort();
    return 0;
}
