#ifndef MESSAGEBOXES_H
#define MESSAGEBOXES_H

// Answers the message boxes that the code under test shows, as a user would, and remembers what
// they said. It polls the active modal widget from the event loop that the box runs.

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

class BoxAnswerer : public QObject
{
public:
    // The button to press; NoButton closes the box instead (Escape, the window's close button).
    // Ok answers Yes where a box has no OK button.
    explicit BoxAnswerer(QMessageBox::StandardButton answer = QMessageBox::Ok) : answer(answer)
    {
        connect(&timer, &QTimer::timeout, this, &BoxAnswerer::look);
        timer.start(5);
    }

    int count = 0;
    QString title;
    QString text;
    QWidget *parent = nullptr;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;

private:
    void look()
    {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return;
        ++count;
        title = box->windowTitle();
        text = box->text();
        parent = box->parentWidget();
        icon = box->icon();
        buttons = box->standardButtons();
        if (answer == QMessageBox::NoButton) {
            box->reject();
            return;
        }
        QAbstractButton *button = box->button(answer);
        if (!button && answer == QMessageBox::Ok)
            button = box->button(QMessageBox::Yes);
        if (button)
            button->click();
        else
            box->reject();
    }

    QMessageBox::StandardButton answer;
    QTimer timer;
};

#endif // MESSAGEBOXES_H
