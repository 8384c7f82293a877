#include "viewer.h"

#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <QTextBrowser>
#include <QTextStream>

Viewer::Viewer(const QString &path, QWidget *parent) : QMainWindow(parent)
{
    setAttribute(Qt::WA_DeleteOnClose);

    browser = new QTextBrowser(this);
    browser->setFrameShape(QFrame::Panel);
    browser->setFrameShadow(QFrame::Sunken);
    browser->setReadOnly(true);
    setCentralWidget(browser);

    setWindowTitle(QFileInfo(path).fileName());

    QFile file(path);
    if (file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        QTextStream stream(&file);
        // Plain text: release notes that mention <tags> show them as written.
        browser->setPlainText(stream.readAll());
    }

    // Wide enough for a typical line of the release notes with a margin, forty lines high.
    const QFontMetrics metrics(browser->font());
    const int width = metrics.horizontalAdvance(
            QStringLiteral("    Your chosen program will be run using mpirun. If you have "
                           "problems startingMMMMM"));
    resize(width, 40 * metrics.lineSpacing());

    browser->setFocus();
}

Viewer::~Viewer() = default;
