#ifndef MESSAGEFILTER_H
#define MESSAGEFILTER_H

#include <QtGlobal>

class QMessageLogContext;
class QString;

// The installer's process-wide message handler. It turns the toolkit's failure to reach the
// display or to load its platform plugin into a short report on standard error and exit status
// 1, and drops every other message. Installed before the application object is created, since
// that is when those failures happen.
void installerMessageFilter(QtMsgType type, const QMessageLogContext &context,
                            const QString &message);

#endif // MESSAGEFILTER_H
