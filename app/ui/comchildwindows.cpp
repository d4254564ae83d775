#include "app/ui/comchildwindows.h"

#include "app/config/texts.h"
#include "app/serial/comportmanager.h"
#include "app/ui/mainwindow.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>

namespace {

// The editor's view of the main window. One per main window, a child object of it, so it
// lives as long as every editor that points at it.
class MainComHost : public QObject, public ComWindowHost {
public:
    explicit MainComHost(MainWindow& main) : QObject(&main), m_main(main) {}
    bool COMStatusIstAktiv(int n) override { return ComStatusIsOpen(m_main, n); }
    void openCOMStatusWindow(int n, int top, int left) override { OpenComStatusWindow(m_main, n, top, left); }

private:
    MainWindow& m_main;
};

MainComHost* hostOf(MainWindow& main)
{
    // Found by type with dynamic_cast: the class has no meta-object of its own, so
    // findChild<MainComHost*> would take the window's first child of any kind.
    for (QObject* child : main.children())
        if (auto* h = dynamic_cast<MainComHost*>(child))
            return h;
    return new MainComHost(main);
}

} // namespace

ComPortEditorChild::ComPortEditorChild(MainWindow& main, QWidget* parent)
    : ComPortEditor(main.comPorts(), hostOf(main), parent)
{
    // "Save + Open" ends the editor.
    QObject::connect(this, &ComPortEditor::closeRequested, this, [this] {
        if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget()))
            sub->close();
        else
            close();
    });
}

ComStatusChild::ComStatusChild(MainWindow& main, int port, int top, int left, QWidget* parent)
    : ComStatusWindow(main.comPorts(), port, top, left, parent)
{}

bool ComStatusIsOpen(MainWindow& main, int port)
{
    for (QWidget* child : main.childWindows()) {
        auto* st = dynamic_cast<ComStatusWindow*>(child);
        if (!st || st->PORT_ID() != port)
            continue;
        if (auto* sub = qobject_cast<QMdiSubWindow*>(child->parentWidget())) {
            sub->showNormal();
            if (QMdiArea* area = sub->mdiArea())
                area->setActiveSubWindow(sub);
        }
        return true;
    }
    return false;
}

QWidget* OpenComStatusWindow(MainWindow& main, int port, int top, int left)
{
    SettingsList params;
    params.setInt(QStringLiteral("PORT_NR"), port);
    params.setInt(QStringLiteral("TOP"), top);
    params.setInt(QStringLiteral("LEFT"), left);
    return main.OpenNewChildWindow(ChildKind::ComStatus,
                                   GetText(QStringLiteral("0304")) + QStringLiteral(": COM") + QString::number(port),
                                   params, false);
}

void RegisterComWindows(MainWindow& main)
{
    main.setChildFactory(ChildKind::ComPortEditor, [](MainWindow& m, const QString&, const SettingsList&) -> QWidget* {
        return new ComPortEditorChild(m);
    });
    main.setChildFactory(ChildKind::ComStatus, [](MainWindow& m, const QString&, const SettingsList& p) -> QWidget* {
        const int port = p.intValue(QStringLiteral("PORT_NR"), 0);
        if (port < 1 || port > ComPortManager::kMaxPorts)
            return nullptr;
        return new ComStatusChild(m, port, p.intValue(QStringLiteral("TOP"), 10),
                                  p.intValue(QStringLiteral("LEFT"), 10));
    });
}
