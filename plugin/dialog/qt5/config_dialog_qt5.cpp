// The configuration dialog on Linux, in Qt 5 Widgets: a module of its own that the plugin
// loads only when the client's settings button is clicked. It runs in the client's own
// Qt, which may be as old as 5.12: built with Qt's version tagging off, no moc, and only
// API that Qt 5.12 has (tests/check_binaries.sh looks up every Qt symbol it takes).
#include <QApplication>
#include <QDialog>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSizePolicy>
#include <QString>
#include <QThread>

#include <cstdio>

#include "plugin/dialog/dialog_abi.h"

namespace {

int fail(char* error, size_t errorSize, const char* why)
{
    if (error && errorSize > 0)
        std::snprintf(error, errorSize, "%s", why);
    return -1;
}

QString text(const char* utf8)
{
    return QString::fromUtf8(utf8 ? utf8 : "");
}

} // namespace

extern "C" __attribute__((visibility("default"))) int
rdlink_show_config_dialog(void* parent, const RdLinkConfigDialog* d, char* error, size_t errorSize)
{
    if (!d || d->abi != RDLINK_DIALOG_ABI || !d->save)
        return fail(error, errorSize, "the dialog module does not match the plugin");
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (!app)
        return fail(error, errorSize, "no Qt Widgets application in this process");
    if (QThread::currentThread() != app->thread())
        return fail(error, errorSize, "called outside the client's GUI thread");

    // Fixed size, title and close box only: no minimise or maximise box, no icon.
    QDialog dialog(static_cast<QWidget*>(parent), Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                                      Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    dialog.setObjectName(QStringLiteral("MyForm"));
    dialog.setWindowTitle(text(d->title));
    dialog.setModal(true);

    auto* label = new QLabel(text(d->portLabel), &dialog);
    auto* edit = new QLineEdit(&dialog);
    edit->setObjectName(QStringLiteral("port"));
    edit->setMaxLength(d->maxLength > 0 ? d->maxLength : 5);
    edit->setText(text(d->portText));
    edit->setFixedWidth(edit->fontMetrics().horizontalAdvance(QLatin1Char('0')) * 9);
    label->setBuddy(edit);
    auto* save = new QPushButton(text(d->saveButton), &dialog);
    save->setObjectName(QStringLiteral("save"));
    save->setDefault(true);

    // Colours and font through the widgets' own style sheets, which win over a style
    // sheet the client sets for the whole application.
    auto* errorLabel = new QLabel(text(d->errorText), &dialog);
    errorLabel->setObjectName(QStringLiteral("error"));
    errorLabel->setStyleSheet(QStringLiteral("color: #DC143C; font-weight: bold; font-style: italic;"));
    QSizePolicy keepRoom = errorLabel->sizePolicy();
    keepRoom.setRetainSizeWhenHidden(true); // showing the error does not resize the dialog
    errorLabel->setSizePolicy(keepRoom);
    errorLabel->hide();
    auto* note = new QLabel(text(d->note), &dialog);
    note->setObjectName(QStringLiteral("note"));
    note->setStyleSheet(QStringLiteral("color: #000080;"));

    auto* grid = new QGridLayout(&dialog);
    grid->setSizeConstraint(QLayout::SetFixedSize);
    grid->addWidget(label, 0, 0);
    grid->addWidget(edit, 0, 1);
    grid->addWidget(save, 0, 2);
    grid->addWidget(errorLabel, 1, 0, 1, 3);
    grid->addWidget(note, 2, 0, 1, 3);

    QObject::connect(save, &QPushButton::clicked, &dialog, [&] {
        const QByteArray typed = edit->text().toUtf8();
        if (d->save(d->context, typed.constData())) {
            errorLabel->hide();
            dialog.accept();
        } else {
            errorLabel->show();
        }
    });

    dialog.exec();
    return 0;
}
