#ifndef VIEWER_H
#define VIEWER_H

#include <QMainWindow>

class QTextBrowser;

// A top-level window that shows one text file read-only, as plain text. It deletes itself when
// closed and does not depend on whoever opened it.
class Viewer : public QMainWindow
{
    Q_OBJECT

public:
    explicit Viewer(const QString &path, QWidget *parent = nullptr);
    ~Viewer() override;

private:
    QTextBrowser *browser;
};

#endif // VIEWER_H
